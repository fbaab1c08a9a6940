#include "sim/dsp/burst_power.h"

#include <algorithm>

namespace tevra::dsp {

PowerAnalysis analyzePower(const Samples& x, double thresholdMw, size_t smoothing, size_t minGap) {
  PowerAnalysis result;
  result.averageMw = meanPower(x);
  result.peakMw = peakPower(x);
  result.burstMw = result.averageMw;
  smoothing = std::max<size_t>(smoothing, 1);
  double window = 0.0;
  size_t below = 0;
  for (size_t n = 0; n < x.size(); ++n) {
    window += std::norm(x[n]);
    if (n >= smoothing) window -= std::norm(x[n - smoothing]);
    bool above = window / static_cast<double>(smoothing) >= thresholdMw;
    if (!result.burstFound) {
      if (!above) continue;
      result.burstFound = true;
      result.burstStart = n + 1 >= smoothing / 2 ? n + 1 - smoothing / 2 : 0;
      below = 0;
      continue;
    }
    below = above ? 0 : below + 1;
    if (below == minGap) {
      result.burstSamples = n + 1 - minGap - result.burstStart;
      break;
    }
  }
  if (!result.burstFound) return result;
  if (result.burstSamples == 0) result.burstSamples = x.size() - result.burstStart;
  result.burstMw = meanPower(x, result.burstStart, result.burstSamples);
  return result;
}

double toneOffsetHz(const Samples& x, double rateHz) {
  Complex advance{};
  for (size_t n = 1; n < x.size(); ++n) advance += x[n] * std::conj(x[n - 1]);
  return advance == Complex{} ? 0.0 : std::arg(advance) / (2.0 * kPi) * rateHz;
}

}  // namespace tevra::dsp
