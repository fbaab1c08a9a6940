#include "src/spectrum/trace_judgement.h"

#include <cmath>
#include <limits>

namespace tevra::spectrum {
namespace {

constexpr double kMHz = 1e6;
constexpr double kAbove = std::numeric_limits<double>::infinity();

// Slopes of the mask segments in dB per Hz, as the masks define them.
constexpr double kSlopeShoulder = 9.999999999999999e-6;  // 20 dB over 2 MHz
constexpr double kSlope11To20 = 8.888888888888889e-7;    // 8 dB over 9 MHz
constexpr double kSlope11agFar = 1.2e-6;                 // 12 dB over 10 MHz
constexpr double kSlopeHt20Far = 1.6999999999999998e-6;  // 17 dB over 10 MHz
constexpr double kSlopeHt40Near = 4.210526315789474e-7;  // 8 dB over 19 MHz
constexpr double kSlopeHt40Far = 8.499999999999999e-7;   // 17 dB over 20 MHz

// A sloped mask symmetric about fc: breakpoints b[0] < b[1] < b[2] < b[3] (MHz) with levels 0, l1, l2, l3.
constexpr MaskRegion kMask11ag[] = {
    {-30 * kMHz, -30 * kMHz, -40, 0},
    {-20 * kMHz, -30 * kMHz, -40, kSlope11agFar},
    {-11 * kMHz, -20 * kMHz, -28, kSlope11To20},
    {-9 * kMHz, -11 * kMHz, -20, kSlopeShoulder},
    {9 * kMHz, 0, 0, 0, false},
    {11 * kMHz, 11 * kMHz, -20, -kSlopeShoulder},
    {20 * kMHz, 20 * kMHz, -28, -kSlope11To20},
    {30 * kMHz, 30 * kMHz, -40, -kSlope11agFar},
    {kAbove, 30 * kMHz, -40, 0},
};
constexpr MaskRegion kMaskHt20[] = {
    {-30 * kMHz, -30 * kMHz, -45, 0},
    {-20 * kMHz, -30 * kMHz, -45, kSlopeHt20Far},
    {-11 * kMHz, -20 * kMHz, -28, kSlope11To20},
    {-9 * kMHz, -11 * kMHz, -20, kSlopeShoulder},
    {9 * kMHz, 0, 0, 0, false},
    {11 * kMHz, 11 * kMHz, -20, -kSlopeShoulder},
    {20 * kMHz, 20 * kMHz, -28, -kSlope11To20},
    {30 * kMHz, 30 * kMHz, -45, -kSlopeHt20Far},
    {kAbove, 30 * kMHz, -45, 0},
};
constexpr MaskRegion kMaskHt40[] = {
    {-60 * kMHz, -60 * kMHz, -45, 0},
    {-40 * kMHz, -60 * kMHz, -45, kSlopeHt40Far},
    {-21 * kMHz, -40 * kMHz, -28, kSlopeHt40Near},
    {-19 * kMHz, -21 * kMHz, -20, kSlopeShoulder},
    {19 * kMHz, 0, 0, 0, false},
    {21 * kMHz, 21 * kMHz, -20, -kSlopeShoulder},
    {40 * kMHz, 40 * kMHz, -28, -kSlopeHt40Near},
    {60 * kMHz, 60 * kMHz, -45, -kSlopeHt40Far},
    {kAbove, 60 * kMHz, -45, 0},
};
// Steps without slopes; every region is half-open [lower, upper), so fc - 22 MHz is judged at -30 dB,
// fc - 11 MHz is not judged and fc + 22 MHz is judged at -50 dB.
constexpr MaskRegion kMask11b[] = {
    {-22 * kMHz, 0, -50, 0}, {-11 * kMHz, 0, -30, 0}, {11 * kMHz, 0, 0, 0, false},
    {22 * kMHz, 0, -30, 0},  {kAbove, 0, -50, 0},
};

// The points of one region or segment are judged in one tight loop against a limit that is a straight line
// there, with the region's constants hoisted out of it; the loop ends at the first point that lies beyond
// the region (`inside` false), or at the end of the trace.
template <class Inside, class Limit>
int32_t judgeRun(const Trace& trace, int32_t* first, Inside inside, Limit limitAt, const Judgement& out,
                 int32_t failed) {
  const double* const f = trace.frequencies;
  const double* const p = trace.powers;
  double* const limits = out.limit;
  int32_t i = *first;
  for (; i < trace.count && inside(f[i]); ++i) {
    const double limit = limitAt(f[i]);
    limits[i] = limit;
    if (!(p[i] > limit)) continue;
    if (out.failFrequencies != nullptr) out.failFrequencies[failed] = f[i];
    if (out.failPowers != nullptr) out.failPowers[failed] = p[i];
    ++failed;
  }
  *first = i;
  return failed;
}

}  // namespace

bool limitTableUsable(const double* table, int32_t length) {
  if (table == nullptr || length < 4 || length % 2 != 0) return false;
  for (int32_t k = 0; k < length; k += 2) {
    if (!std::isfinite(table[k]) || !std::isfinite(table[k + 1])) return false;
    if (k > 0 && !(table[k] > table[k - 2])) return false;
  }
  return true;
}

int32_t judgeLimitTable(const Trace& trace, double fcHz, double peak, const double* table, int32_t length,
                        const Judgement& out) {
  const double* const last = table + length - 2;  // the last (offset, level) pair
  int32_t failed = 0;
  int32_t first = 0;
  // A point stays in a segment while it is not above the segment's upper end; the last takes the rest.
  for (const double* segment = table; first < trace.count && segment < last; segment += 2) {
    const double xa = fcHz + segment[0];
    const double xb = fcHz + segment[2];
    const double la = peak + segment[1];
    const double lb = peak + segment[3];
    const bool lastSegment = segment + 2 == last;
    auto inside = [xb, lastSegment](double f) { return lastSegment || !(f > xb); };
    if (lb == la) {
      failed = judgeRun(
          trace, &first, inside, [lb](double) { return lb; }, out, failed);
    } else {
      auto limitAt = [=](double f) { return lb - (xb - f) * (lb - la) / (xb - xa); };
      failed = judgeRun(trace, &first, inside, limitAt, out, failed);
    }
  }
  return failed;
}

std::span<const MaskRegion> maskRegions(Mask mask) {
  switch (mask) {
    case Mask::k11b:
      return kMask11b;
    case Mask::k11nHt20:
      return kMaskHt20;
    case Mask::k11nHt40:
      return kMaskHt40;
    case Mask::k11ag:
      break;
  }
  return kMask11ag;
}

int32_t judgeMask(const Trace& trace, double fcHz, double peak, std::span<const MaskRegion> regions,
                  const Judgement& out) {
  int32_t failed = 0;
  int32_t first = 0;
  // A region holds the points below its upper offset; the last one takes the rest.
  for (size_t r = 0; first < trace.count && r < regions.size(); ++r) {
    const MaskRegion& region = regions[r];
    const double upper = fcHz + region.upperOffsetHz;
    const bool lastRegion = r + 1 == regions.size();
    auto inside = [upper, lastRegion](double f) { return lastRegion || f < upper; };
    if (!region.judged) {
      while (first < trace.count && inside(trace.frequencies[first])) out.limit[first++] = peak;
      continue;
    }
    const double base = peak + region.levelDb;
    const double outer = fcHz + region.outerOffsetHz;
    const double slope = region.slopeDbPerHz;
    auto limitAt = [=](double f) { return base + (f - outer) * slope; };
    failed = judgeRun(trace, &first, inside, limitAt, out, failed);
  }
  return failed;
}

}  // namespace tevra::spectrum
