// The 802.11a/g OFDM transmitter: one PPDU (short and long training, SIGNAL, DATA) at 20 MHz with unit
// mean power, and burst trains with idle gaps.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/dsp/iq.h"
#include "sim/dsp/ofdm_phy.h"

namespace tevra::dsp {

struct OfdmBurst {
  double mbps = 54;
  std::vector<uint8_t> psdu;     // 1 to 4095 bytes
  uint8_t scramblerSeed = 0x5d;  // any nonzero 7-bit value
};

// Throws std::invalid_argument for an unknown rate, an empty or overlong PSDU or a zero seed.
Samples synthesizeOfdm(const OfdmBurst& burst);

// The bits of a DATA field before coding: SERVICE, the PSDU least significant bit first, tail and pad,
// scrambled, with the tail bits zeroed after scrambling.
Bits scrambledDataBits(const std::vector<uint8_t>& psdu, size_t dataBitsPerSymbol, uint8_t seed);

// The DATA field's coded and interleaved bits, symbol after symbol, as the transmitter maps them.
Bits ofdmDataBits(const OfdmBurst& burst);

// `count` copies of a burst, each followed by `idleSamples` zeros.
Samples burstTrain(const Samples& burst, size_t count, size_t idleSamples);

// A payload of pseudo-random bytes from a seed.
std::vector<uint8_t> randomPayload(size_t length, uint32_t seed);

namespace ofdm {
// The time signal of one symbol: the 64 bins transformed, scaled for unit power over the occupied
// carriers (52, or 56 for HT fields), with a cyclic prefix of `guard` samples.
Samples modulateSymbol(const std::array<Complex, kFftSize>& bins, size_t guard, size_t occupied = 52);
Samples shortTrainingField();
Samples longTrainingField();
}  // namespace ofdm

}  // namespace tevra::dsp
