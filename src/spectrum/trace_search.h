// Searches on a spectrum trace: the occupied bandwidth that holds a percentage of the power, and the main
// and side lobes of an 802.11b spectrum.
#pragma once

#include <cstdint>
#include <optional>

#include "src/spectrum/trace_judgement.h"

namespace tevra::spectrum {

// The bandwidth in Hz between the two edges beyond which (100 - percent) / 2 % of the power lies on each
// side, interpolated within the edge points. linear receives the points' linear powers (count entries).
// Empty when the total power is not a finite positive number, so that no edge could be found.
std::optional<double> occupiedBandwidth(const Trace& trace, double percent, double* linear);

// Lobe indexes: 0 main lobe, 1 and 2 the first and second side lobes (the higher of each pair), 3 and 4
// the first side lobes on the left and right, 5 and 6 the second side lobes on the left and right.
inline constexpr int32_t kLobeCount = 7;
inline constexpr double kLobeNotFound = -999.0;

enum class LobeSearch { kFound, kNoLeftSecond, kNoLeftFirst, kNoMain };

// Fills the lobes' frequencies and absolute powers; a lobe without a point in its region keeps
// kLobeNotFound and its frequency as it was. Stops at the first of the three left-to-centre regions that
// holds no point.
LobeSearch searchLobes(const Trace& trace, double fcHz, double* frequencies, double* powers);

}  // namespace tevra::spectrum
