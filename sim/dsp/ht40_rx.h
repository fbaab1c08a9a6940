// The 802.11n receiver for an HT-mixed burst in a 40 MHz channel (one stream, long guard interval) sampled
// at 40 MHz: packet detection on the short training field, coarse and fine carrier offset, the legacy
// channel from L-LTF, SIGNAL and HT-SIG decoded from both 20 MHz halves combined, the channel over 114
// carriers from HT-LTF refined by least squares over the decided data, pilot phase tracking on 6 pilots,
// and the RMS EVM over the 114 occupied carriers of every DATA symbol.
#pragma once

#include "sim/dsp/iq.h"
#include "sim/dsp/ofdm_rx.h"

namespace tevra::dsp {

// `found` only for a burst whose SIGNAL and 40 MHz HT-SIG decoded; `ht` is then set with the MCS.
OfdmAnalysis analyzeHt40(const Samples& x);

}  // namespace tevra::dsp
