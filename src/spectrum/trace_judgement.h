// Judging a spectrum trace against a limit: the limit line of a caller's relative table and the transmit
// masks of 802.11a/g, b and n. Both walk the trace once, forward, and write the limit at every point; a
// point whose power is strictly above its limit is appended to the fail arrays (each only when given).
#pragma once

#include <cstdint>
#include <span>

namespace tevra::spectrum {

// A trace as the caller holds it: count points, frequencies in Hz ascending, powers in dBm.
struct Trace {
  int32_t count = 0;
  const double* frequencies = nullptr;
  const double* powers = nullptr;
};

struct Judgement {
  double* limit = nullptr;  // count entries, required
  double* failFrequencies = nullptr;
  double* failPowers = nullptr;
};

// A table of (offset Hz, level dB) pairs is usable when it has at least two pairs, a whole number of them,
// and finite offsets that strictly ascend with finite levels: an equal pair of offsets would divide by zero
// and a NaN limit would pass every point.
bool limitTableUsable(const double* table, int32_t length);

// Judges the trace against the straight lines through the table's points around fc, raised to the peak;
// beyond either end the outer segment continues. Returns the count of points above the line.
int32_t judgeLimitTable(const Trace& trace, double fcHz, double peak, const double* table, int32_t length,
                        const Judgement& out);

// One region of a mask, in ascending frequency: it holds the points below fc + upperOffsetHz. Its limit is
// peak + levelDb + (f - (fc + outerOffsetHz)) * slope; an unjudged region is the peak itself.
struct MaskRegion {
  double upperOffsetHz;
  double outerOffsetHz;
  double levelDb;
  double slopeDbPerHz;
  bool judged = true;
};

enum class Mask { k11ag, k11b, k11nHt20, k11nHt40 };
std::span<const MaskRegion> maskRegions(Mask mask);

int32_t judgeMask(const Trace& trace, double fcHz, double peak, std::span<const MaskRegion> regions,
                  const Judgement& out);

}  // namespace tevra::spectrum
