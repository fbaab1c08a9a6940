// What the measurements share: the refusal of a null output, the result value, the unit conversions and the
// data-rate table.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>

#include "src/core/frame.h"

namespace tevra::measure {

// A null output pointer: the function's failure code with an ERR line, before any server call.
int32_t refuseNullOutput(const core::FrameInfo& info);

// 1 valid, 0 overloaded.
inline int32_t resultValue(bool valid) {
  return valid ? 1 : 0;
}

// What an output holds when the server did not give its value (a mask margin or reference level, a peak
// power): far below any limit, so that it never passes.
inline constexpr double kNotMeasured = -999.0;

// EVM in dB from percent: 20 log10(percent / 100). Only a positive percentage has one.
bool evmDbOf(double percent, double* dB);

// The bit rate of the server's data-rate index: 0..7 the OFDM rates 6..54, 8..11 the DSSS/CCK rates 1, 2,
// 5.5, 11 Mbps; any other index 0.
double bitRateMbps(int32_t index);

// The frequency error in ppm of the centre frequency; false (and *ppm untouched) when the centre frequency
// gives none (0 Hz, or not a number).
bool ppmOf(double errorHz, double centerMHz, double* ppm);

// The result of a measurement read to its end: 0 when overloaded; otherwise 1 when every condition holds,
// else 0 with "Not valid: <reason>" traced for the first that does not.
int32_t verdict(bool overloaded, std::initializer_list<std::pair<bool, const char*>> conditions);

}  // namespace tevra::measure
