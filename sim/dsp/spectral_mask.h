// Evaluation of a spectrum against a transmit spectrum mask (limits in dB relative to the spectrum's peak,
// straight lines in dB between the corner offsets, symmetric about the centre) and its occupied bandwidth.
#pragma once

#include <vector>

#include "sim/dsp/spectrum.h"

namespace tevra::dsp {

struct MaskCorner {
  double offsetHz;
  double limitDbr;
};

// The 802.11a/g OFDM mask of a 20 MHz channel.
const std::vector<MaskCorner>& ofdmMask();
// The 802.11b DSSS mask: -30 dBr from 11 MHz, -50 dBr from 22 MHz (a step, not a slope).
const std::vector<MaskCorner>& dsssMask();
// The 802.11n mask of a 20 MHz (HT20) channel.
const std::vector<MaskCorner>& ht20Mask();
// The 802.11n mask of a 40 MHz (HT40) channel.
const std::vector<MaskCorner>& ht40Mask();

struct MaskResult {
  double referenceDbm = 0;  // the spectrum's peak
  double marginDb = 0;      // the least distance below the limit; negative where the spectrum passes it
  double worstOffsetHz = 0;
};

// Points beyond the last corner are held to its limit; points inside the first corner are not judged.
MaskResult evaluateMask(const Spectrum& spectrum, const std::vector<MaskCorner>& mask);

// The bandwidth that holds `fraction` of the spectrum's power, the rest split equally on both sides.
double occupiedBandwidthHz(const Spectrum& spectrum, double fraction = 0.99);

}  // namespace tevra::dsp
