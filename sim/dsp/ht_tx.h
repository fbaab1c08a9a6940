// The 802.11n HT-mixed transmitter at 20 MHz, one spatial stream, MCS 0 to 7, long guard interval: the
// legacy preamble and SIGNAL, HT-SIG on QBPSK, HT-STF, one HT-LTF and the DATA field; unit mean power.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/dsp/iq.h"

namespace tevra::dsp {

struct HtBurst {
  int mcs = 7;
  std::vector<uint8_t> psdu;  // 1 to 65535 bytes
  uint8_t scramblerSeed = 0x5d;
};

// Throws std::invalid_argument for an MCS outside 0..7, an empty or overlong PSDU or a zero seed.
Samples synthesizeHt(const HtBurst& burst);

}  // namespace tevra::dsp
