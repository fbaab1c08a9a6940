#include "src/spectrum/trace_search.h"

#include <cmath>
#include <limits>

namespace tevra::spectrum {
namespace {

constexpr double kMHz = 1e6;

// The edge frequency where the running sum from one end reaches threshold at point i, interpolated towards
// the previous point (step -1 from below, +1 from above).
double edgeAt(const Trace& trace, const double* linear, int32_t i, int32_t previous, double sum,
              double threshold) {
  if (sum == threshold || previous < 0 || previous >= trace.count) return trace.frequencies[i];
  const double fraction = (threshold - (sum - linear[i])) / linear[i];
  return trace.frequencies[previous] + (trace.frequencies[i] - trace.frequencies[previous]) * fraction;
}

std::optional<double> lowerEdge(const Trace& trace, const double* linear, double threshold) {
  double sum = 0.0;
  for (int32_t i = 0; i < trace.count; ++i) {
    sum += linear[i];
    if (sum >= threshold) return edgeAt(trace, linear, i, i - 1, sum, threshold);
  }
  return std::nullopt;
}

std::optional<double> upperEdge(const Trace& trace, const double* linear, double threshold) {
  double sum = 0.0;
  for (int32_t i = trace.count - 1; i >= 0; --i) {
    sum += linear[i];
    if (sum >= threshold) return edgeAt(trace, linear, i, i + 1, sum, threshold);
  }
  return std::nullopt;
}

// Raises lobe to point i when it is strictly higher.
void raise(const Trace& trace, int32_t i, int32_t lobe, double* frequencies, double* powers) {
  if (trace.powers[i] > powers[lobe]) {
    powers[lobe] = trace.powers[i];
    frequencies[lobe] = trace.frequencies[i];
  }
}

// Walks the points at or below upper (Hz) from *i on, raising each of the lobes given.
void walkRegion(const Trace& trace, int32_t* i, double upper, int32_t lobe, int32_t alsoLobe,
                double* frequencies, double* powers) {
  for (; *i < trace.count && trace.frequencies[*i] <= upper; ++*i) {
    raise(trace, *i, lobe, frequencies, powers);
    if (alsoLobe >= 0) raise(trace, *i, alsoLobe, frequencies, powers);
  }
}

}  // namespace

std::optional<double> occupiedBandwidth(const Trace& trace, double percent, double* linear) {
  double total = 0.0;
  for (int32_t i = 0; i < trace.count; ++i) {
    linear[i] = std::pow(10.0, trace.powers[i] * 0.1);
    total += linear[i];
  }
  if (!std::isfinite(total) || !(total > 0.0)) return std::nullopt;
  const double threshold = (100.0 - percent) * total * 0.005;
  const auto lower = lowerEdge(trace, linear, threshold);
  const auto upper = upperEdge(trace, linear, threshold);
  if (!lower || !upper) return std::nullopt;
  return *upper - *lower;
}

LobeSearch searchLobes(const Trace& trace, double fcHz, double* frequencies, double* powers) {
  for (int32_t lobe = 0; lobe < kLobeCount; ++lobe) powers[lobe] = kLobeNotFound;
  int32_t i = 0;
  walkRegion(trace, &i, fcHz - 22 * kMHz, 5, -1, frequencies, powers);
  if (powers[5] == kLobeNotFound) return LobeSearch::kNoLeftSecond;
  walkRegion(trace, &i, fcHz - 11 * kMHz, 3, -1, frequencies, powers);
  if (powers[3] == kLobeNotFound) return LobeSearch::kNoLeftFirst;
  walkRegion(trace, &i, fcHz + 11 * kMHz, 0, -1, frequencies, powers);
  if (powers[0] == kLobeNotFound) return LobeSearch::kNoMain;
  frequencies[1] = frequencies[3], powers[1] = powers[3];
  frequencies[2] = frequencies[5], powers[2] = powers[5];
  walkRegion(trace, &i, fcHz + 22 * kMHz, 4, 1, frequencies, powers);
  walkRegion(trace, &i, std::numeric_limits<double>::infinity(), 6, 2, frequencies, powers);
  return LobeSearch::kFound;
}

}  // namespace tevra::spectrum
