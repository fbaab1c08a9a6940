#include "sim/dsp/spectral_mask.h"

#include <algorithm>
#include <limits>

namespace tevra::dsp {
namespace {

double limitAt(double offsetHz, const std::vector<MaskCorner>& mask) {
  double f = std::abs(offsetHz);
  for (size_t i = 1; i < mask.size(); ++i) {
    if (f > mask[i].offsetHz) continue;
    const MaskCorner& a = mask[i - 1];
    const MaskCorner& b = mask[i];
    return a.limitDbr + (b.limitDbr - a.limitDbr) * (f - a.offsetHz) / (b.offsetHz - a.offsetHz);
  }
  return mask.back().limitDbr;
}

}  // namespace

const std::vector<MaskCorner>& ofdmMask() {
  static const std::vector<MaskCorner> mask = {{9e6, 0}, {11e6, -20}, {20e6, -28}, {30e6, -40}};
  return mask;
}

// The step at 22 MHz is a slope of 1 Hz, so that a point on 22 MHz is held to -50 dBr.
const std::vector<MaskCorner>& dsssMask() {
  static const std::vector<MaskCorner> mask = {{11e6, -30}, {22e6 - 1.0, -30}, {22e6, -50}};
  return mask;
}

const std::vector<MaskCorner>& ht20Mask() {
  static const std::vector<MaskCorner> mask = {{9e6, 0}, {11e6, -20}, {20e6, -28}, {30e6, -45}};
  return mask;
}

const std::vector<MaskCorner>& ht40Mask() {
  static const std::vector<MaskCorner> mask = {{19e6, 0}, {21e6, -20}, {40e6, -28}, {60e6, -45}};
  return mask;
}

MaskResult evaluateMask(const Spectrum& spectrum, const std::vector<MaskCorner>& mask) {
  MaskResult result;
  if (spectrum.dbm.empty() || mask.empty()) return result;
  result.referenceDbm = *std::max_element(spectrum.dbm.begin(), spectrum.dbm.end());
  result.marginDb = std::numeric_limits<double>::max();
  for (size_t i = 0; i < spectrum.dbm.size(); ++i) {
    double offset = spectrum.startHz + spectrum.stepHz * static_cast<double>(i);
    if (std::abs(offset) <= mask.front().offsetHz) continue;
    double margin = result.referenceDbm + limitAt(offset, mask) - spectrum.dbm[i];
    if (margin < result.marginDb) {
      result.marginDb = margin;
      result.worstOffsetHz = offset;
    }
  }
  return result;
}

double occupiedBandwidthHz(const Spectrum& spectrum, double fraction) {
  std::vector<double> cumulative(spectrum.dbm.size());
  double total = 0.0;
  for (size_t i = 0; i < spectrum.dbm.size(); ++i) cumulative[i] = total += fromDb(spectrum.dbm[i]);
  if (total <= 0) return 0.0;
  double tail = (1.0 - fraction) / 2.0 * total;
  // Interpolated within the bin where the cumulative power crosses each tail.
  auto crossing = [&](double level) {
    auto it = std::lower_bound(cumulative.begin(), cumulative.end(), level);
    auto i = static_cast<size_t>(it - cumulative.begin());
    double before = i ? cumulative[i - 1] : 0.0;
    double within = cumulative[i] > before ? (level - before) / (cumulative[i] - before) : 0.0;
    return spectrum.startHz + spectrum.stepHz * (static_cast<double>(i) - 0.5 + within);
  };
  return crossing(total - tail) - crossing(tail);
}

}  // namespace tevra::dsp
