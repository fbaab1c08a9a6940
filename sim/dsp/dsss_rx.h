// The 802.11b receiver of the analyzer: matched root raised cosine filter, chip timing, carrier offset from
// the fourth power of the chips, chip EVM against the nearest ideal chip, and the PLCP header despread,
// descrambled and checked, so that the preamble and the data rate are measured.
#pragma once

#include "sim/dsp/dsss_phy.h"
#include "sim/dsp/iq.h"

namespace tevra::dsp {

struct DsssAnalysis {
  bool found = false;  // a burst whose PLCP header passed its CRC
  double mbps = 0;
  dsss::Preamble preamble = dsss::Preamble::kLong;
  double evmRms = 0;             // over the chips, relative to their mean amplitude
  double evmPeak = 0;            // the largest chip error, on the same scale
  double chipClockErrorPpm = 0;  // measured minus nominal, from the drift of the chip-rate line
  double frequencyErrorHz = 0;
  double iqOffsetDb = 0;
  size_t burstStart = 0;  // samples of the input
  size_t burstSamples = 0;
};

// `x` at 44 MHz (four samples per chip).
DsssAnalysis analyzeDsss(const Samples& x);

}  // namespace tevra::dsp
