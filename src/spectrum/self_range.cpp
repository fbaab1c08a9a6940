// The self-range table: suggested trigger levels and power ranges for 802.11a and 802.11b per whole dBm of
// expected input power, from 24 dBm down to -60 dBm. It touches neither the server nor the instrument.
#include <cmath>
#include <cstdint>

#include "src/core/names.h"
#include "tevra.h"

namespace tevra::spectrum {
namespace {

struct SelfRangeRow {
  int32_t expectPower;
  double triggerLevelMV11a;
  double powerRange11a;
  double triggerLevelMV11b;
  double powerRange11b;
};

constexpr SelfRangeRow kSelfRange[] = {
    {24, 90.437, 20, 300.672, 20},        {23, 91.0022, 20, 301.395, 20},
    {22, 90.6624, 20, 300.701, 20},       {21, 90.4935, 20, 301.443, 20},
    {20, 90.6927, 20, 302.782, 20},       {19, 90.3813, 20, 301.885, 20},
    {18, 90.2838, 20, 301.603, 20},       {17, 90.5557, 20, 300.636, 20},
    {16, 90.6396, 20, 189.936, 20},       {15, 89.9653, 20, 166.001, 20},
    {14, 89.856, 20, 147.339, 15},        {13, 72.003, 20, 130.839, 15},
    {12, 72.1868, 20, 117.566, 15},       {11, 72.6827, 20, 104.318, 15},
    {10, 72.1337, 20, 93.6073, 10},       {9, 71.9263, 20, 83.0891, 10},
    {8, 70.3584, 20, 73.9797, 10},        {7, 63.571, 15, 66.3215, 10},
    {6, 57.6242, 15, 59.3043, 10},        {5, 52.1095, 15, 53.2364, 5},
    {4, 47.1348, 15, 47.7878, 5},         {3, 42.3362, 15, 42.5803, 5},
    {2, 38.4849, 15, 38.4749, 5},         {1, 34.8527, 10, 34.2646, 5},
    {0, 31.672, 10, 30.8286, 0},          {-1, 28.5471, 10, 27.5119, 0},
    {-2, 25.7746, 10, 24.4726, 0},        {-3, 23.2053, 10, 21.8045, 0},
    {-4, 20.7476, 5, 19.5702, 0},         {-5, 18.6512, 5, 17.4752, -5},
    {-6, 16.7791, 5, 15.5462, -5},        {-7, 15.0256, 5, 13.8942, -5},
    {-8, 13.5358, 5, 12.4068, -5},        {-9, 11.5879, 0, 11.0716, -5},
    {-10, 10.4294, 0, 9.82996, -10},      {-11, 9.34974, 0, 8.83228, -10},
    {-12, 8.42997, 0, 7.8991, -10},       {-13, 7.56787, 0, 6.9301, -10},
    {-14, 6.51966, -5, 6.18579, -10},     {-15, 5.84956, -5, 5.51001, -10},
    {-16, 5.24971, -5, 4.94221, -15},     {-17, 4.72719, -5, 4.40107, -15},
    {-18, 4.23894, -5, 3.93323, -15},     {-19, 3.68917, -10, 3.49716, -15},
    {-20, 3.33196, -10, 3.11784, -20},    {-21, 2.95638, -10, 2.79827, -20},
    {-22, 2.67139, -10, 2.5042, -20},     {-23, 2.36973, -10, 2.16861, -20},
    {-24, 2.06614, -15, 1.93126, -20},    {-25, 1.84182, -15, 1.72378, -25},
    {-26, 1.65888, -15, 1.5366, -25},     {-27, 1.48526, -15, 1.37466, -25},
    {-28, 1.34654, -15, 1.22606, -25},    {-29, 1.16555, -20, 1.08917, -25},
    {-30, 1.03974, -20, 0.978336, -30},   {-31, 0.940378, -20, 0.874058, -30},
    {-32, 0.843156, -20, 0.78264, -30},   {-33, 0.752079, -20, 0.691184, -30},
    {-34, 0.654282, -25, 0.611586, -30},  {-35, 0.588504, -25, 0.54607, -35},
    {-36, 0.523128, -25, 0.493018, -35},  {-37, 0.472162, -25, 0.437884, -35},
    {-38, 0.426494, -25, 0.391869, -35},  {-39, 0.374117, -30, 0.349757, -35},
    {-40, 0.334542, -30, 0.309961, -40},  {-41, 0.296478, -30, 0.277388, -40},
    {-42, 0.267296, -30, 0.249722, -40},  {-43, 0.238934, -30, 0.21774, -40},
    {-44, 0.206259, -35, 0.194403, -40},  {-45, 0.18779, -35, 0.1733, -45},
    {-46, 0.167207, -35, 0.155027, -45},  {-47, 0.151091, -35, 0.139268, -45},
    {-48, 0.13309, -35, 0.124101, -45},   {-49, 0.117284, -40, 0.110061, -45},
    {-50, 0.105716, -40, 0.099099, -50},  {-51, 0.0936652, -40, 0.088666, -50},
    {-52, 0.08391, -40, 0.079298, -50},   {-53, 0.0751994, -40, 0.070704, -50},
    {-54, 0.0655951, -45, 0.06357, -50},  {-55, 0.0599104, -45, 0.05629, -55},
    {-56, 0.053095, -45, 0.050671, -55},  {-57, 0.0470842, -45, 0.045682, -55},
    {-58, 0.0421096, -50, 0.041103, -55}, {-59, 0.0367117, -50, 0.036918, -55},
    {-60, 0.0333753, -50, 0.033335, -60},
};
constexpr int32_t kRows = static_cast<int32_t>(sizeof kSelfRange / sizeof kSelfRange[0]);
static_assert(kRows == 85);

constexpr double kLookupOff = -442.0;
constexpr double kUnknownName = 999.0;

struct SelfRangeState {
  int32_t row = 0;
  int32_t enabled = 0;
};

SelfRangeState& selfRange() {
  static SelfRangeState state;
  return state;
}

}  // namespace
}  // namespace tevra::spectrum

using namespace tevra;

extern "C" int32_t Tevra_TurnSelfRangeOn(double ExpectPower, int32_t On) {
  auto& state = spectrum::selfRange();
  if (On != 0) {
    // Truncated after adding a half, so -10.0 selects -9: callers rely on this rounding. A NaN counts as
    // below the table rather than converting to an undefined row.
    const double n = std::trunc(ExpectPower + 0.5);
    if (n > spectrum::kSelfRange[0].expectPower) return -430;
    if (!(n >= spectrum::kSelfRange[spectrum::kRows - 1].expectPower)) return -432;
    state.row = spectrum::kSelfRange[0].expectPower - static_cast<int32_t>(n);
  }
  state.enabled = On;
  return 0;
}

extern "C" double Tevra_GetSelfRangeValue(const char* Name) {
  const auto& state = spectrum::selfRange();
  if (state.enabled == 0) return spectrum::kLookupOff;
  if (Name == nullptr) return spectrum::kUnknownName;
  const spectrum::SelfRangeRow& row = spectrum::kSelfRange[state.row];
  if (core::sameName(Name, "ExpectPower")) return row.expectPower;
  if (core::sameName(Name, "TriggerLevel_mV_11a")) return row.triggerLevelMV11a;
  if (core::sameName(Name, "EVM_PowerRange_dBm_11a")) return row.powerRange11a;
  if (core::sameName(Name, "TriggerLevel_mV_11b")) return row.triggerLevelMV11b;
  if (core::sameName(Name, "EVM_PowerRange_dBm_11b")) return row.powerRange11b;
  return spectrum::kUnknownName;
}
