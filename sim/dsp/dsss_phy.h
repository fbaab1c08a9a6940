// Building blocks of the 802.11b DSSS/CCK PHY shared by its transmitter and receiver: rates, the
// self-synchronizing scrambler, the PLCP preamble and header with its CRC, the Barker sequence and the CCK
// code words.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "sim/dsp/convolutional.h"
#include "sim/dsp/iq.h"

namespace tevra::dsp::dsss {

inline constexpr double kChipRateHz = 11e6;
inline constexpr size_t kSamplesPerChip = 4;
inline constexpr double kSampleRateHz = kChipRateHz * kSamplesPerChip;
inline constexpr size_t kMaxLength = 4095;

enum class Preamble { kLong, kShort };

// The SIGNAL field's value (units of 100 kbit/s) of a rate; nothing for other rates.
std::optional<uint8_t> signalOfMbps(double mbps);
std::optional<double> mbpsOfSignal(uint8_t signal);

const std::array<double, 11>& barker();

// Scrambles (or descrambles) bit by bit; the register holds the last seven scrambled bits.
class Scrambler {
 public:
  explicit Scrambler(uint8_t seed) : state_(seed & 0x7f) {}
  uint8_t scramble(uint8_t bit);
  uint8_t descramble(uint8_t bit);

 private:
  uint8_t state_;
};

// The CRC-16 (x^16 + x^12 + x^5 + 1, preset to ones, complemented) of the header bits, first bit first.
uint16_t headerCrc(const Bits& bits);

// SYNC and SFD of a preamble, before scrambling.
Bits preambleBits(Preamble preamble);
// SIGNAL, SERVICE, LENGTH (microseconds) and CRC: 48 bits, each field least significant bit first, the
// CRC most significant first.
Bits headerBits(double mbps, size_t lengthBytes);
struct Header {
  double mbps;
  size_t lengthUs;
};
std::optional<Header> parseHeader(const Bits& bits);

// The SFD as it is sent, least significant bit first.
Bits sfdBits(Preamble preamble);

// Phase change of a DQPSK dibit (d0, d1), and the QPSK phase of a dibit in CCK.
double dqpskPhase(uint8_t d0, uint8_t d1);
double cckQpskPhase(uint8_t d0, uint8_t d1);
// The eight chips of a CCK code word.
std::array<Complex, 8> cckCodeWord(double phi1, double phi2, double phi3, double phi4);

}  // namespace tevra::dsp::dsss
