// The 802.11a/g OFDM receiver of the analyzer: packet detection on the short training field, coarse and
// fine carrier frequency offset, channel estimate from the long training field refined with the decided
// data, pilot phase tracking, the SIGNAL field decoded for the rate and length, and the RMS EVM over the
// 52 occupied subcarriers of every DATA symbol. An HT-mixed burst (20 MHz, one stream) is told by its
// QBPSK HT-SIG, whose CRC-checked MCS and length choose the 56-carrier DATA field, estimated from HT-LTF.
#pragma once

#include "sim/dsp/iq.h"

namespace tevra::dsp {

struct OfdmAnalysis {
  bool found = false;  // a burst whose SIGNAL field (and HT-SIG, for HT) decoded
  bool ht = false;     // HT-mixed: `mcs` is set, `mbps` is 0
  int mcs = -1;
  double mbps = 0;
  size_t length = 0;   // PSDU bytes
  size_t symbols = 0;  // DATA symbols measured
  double evmRms = 0;   // relative to the mean constellation power
  double frequencyErrorHz = 0;
  double iqOffsetDb = 0;  // carrier leakage relative to the burst power
  size_t burstStart = 0;  // first sample of the short training field
  size_t burstSamples = 0;
};

// `x` at 20 MHz.
OfdmAnalysis analyzeOfdm(const Samples& x);

}  // namespace tevra::dsp
