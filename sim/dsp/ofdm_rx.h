// The 802.11a/g OFDM receiver of the analyzer: packet detection on the short training field, coarse and
// fine carrier frequency offset, channel estimate from the long training field refined with the decided
// data, pilot phase tracking, the SIGNAL field decoded for the rate and length, and the RMS EVM over the
// 52 occupied subcarriers of every DATA symbol. An HT-mixed burst (20 MHz, one stream) is told by its
// QBPSK HT-SIG, whose CRC-checked MCS and length choose the 56-carrier DATA field, estimated from HT-LTF.
#pragma once

#include <vector>

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
  double iqOffsetDb = 0;         // carrier leakage (centre-frequency leakage) relative to the burst power
  double iqGainImbalanceDb = 0;  // I relative to Q, from the mirror carriers' share
  double quadratureErrorDeg = 0;
  double symbolClockErrorPpm = 0;  // measured minus nominal, from the timing drift over the burst
  // Spectral flatness: each occupied carrier's (-26..26 or -28..28 without 0) channel energy relative to
  // the mean over the inner ones (|k| <= 16), and the least margin to +-2 dB (inner) and +2/-4 dB (outer).
  std::vector<double> flatnessDb;
  double flatnessMarginDb = 0;
  size_t burstStart = 0;  // first sample of the short training field
  size_t burstSamples = 0;
};

// `x` at 20 MHz.
OfdmAnalysis analyzeOfdm(const Samples& x);

}  // namespace tevra::dsp
