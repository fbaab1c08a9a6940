// The 802.11b transmitter: PLCP preamble (long or short) and header, the PSDU at 1 or 2 Mbit/s (Barker
// DBPSK/DQPSK) or 5.5 or 11 Mbit/s (CCK), shaped by a root raised cosine at four samples per chip (44 MHz)
// with unit mean power.
#pragma once

#include <vector>

#include "sim/dsp/dsss_phy.h"
#include "sim/dsp/iq.h"

namespace tevra::dsp {

struct DsssBurst {
  double mbps = 11;
  dsss::Preamble preamble = dsss::Preamble::kLong;
  std::vector<uint8_t> psdu;  // 1 to 4095 bytes
};

// Throws std::invalid_argument for an unknown rate, an empty or overlong PSDU, or 1 Mbit/s with the short
// preamble.
Samples synthesizeDsss(const DsssBurst& burst);

namespace dsss {
inline constexpr double kRolloff = 0.5;
inline constexpr unsigned kFilterSymbols = 8;  // root raised cosine semi-length in chips
}  // namespace dsss

}  // namespace tevra::dsp
