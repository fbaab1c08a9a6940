// The 802.11n HT-mixed transmitter, one spatial stream, MCS 0 to 7, long guard interval: the legacy preamble
// and SIGNAL, HT-SIG on QBPSK, HT-STF, one HT-LTF and the DATA field; unit mean power. A 20 MHz channel is
// sampled at 20 MHz; a 40 MHz channel at 40 MHz, with the legacy fields and HT-SIG sent in both halves.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/dsp/iq.h"

namespace tevra::dsp {

struct HtBurst {
  int mcs = 7;
  std::vector<uint8_t> psdu;  // 1 to 65535 bytes
  uint8_t scramblerSeed = 0x5d;
  bool wide = false;  // a 40 MHz channel
};

// Throws std::invalid_argument for an MCS outside 0..7, an empty or overlong PSDU or a zero seed.
Samples synthesizeHt(const HtBurst& burst);

// One legacy long training symbol of a 40 MHz PPDU, without its guard interval (128 samples at 40 MHz).
Samples wideLegacyTrainingSymbol();

}  // namespace tevra::dsp
