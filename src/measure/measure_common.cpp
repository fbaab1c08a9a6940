#include "src/measure/measure_common.h"

#include <cmath>

#include "src/log/driver_logs.h"

namespace tevra::measure {
namespace {

constexpr double kBitRates[] = {6, 9, 12, 18, 24, 36, 48, 54, 1, 2, 5.5, 11};

}  // namespace

int32_t refuseNullOutput(const core::FrameInfo& info) {
  return core::traceFailure(info.failureCode, "ERR %d,null output pointer for %s()", info.failureCode,
                            info.name);
}

bool evmDbOf(double percent, double* dB) {
  if (!(percent > 0.0) || !std::isfinite(percent)) return false;
  *dB = 20.0 * std::log10(percent * 0.01);
  return true;
}

double bitRateMbps(int32_t index) {
  if (index < 0 || index >= static_cast<int32_t>(std::size(kBitRates))) return 0.0;
  return kBitRates[index];
}

bool ppmOf(double errorHz, double centerMHz, double* ppm) {
  const double value = errorHz / centerMHz;
  if (centerMHz == 0.0 || !std::isfinite(value)) return false;
  *ppm = value;
  return true;
}

int32_t verdict(bool overloaded, std::initializer_list<std::pair<bool, const char*>> conditions) {
  if (overloaded) return 0;
  for (const auto& [holds, reason] : conditions) {
    if (!holds) {
      log::traceLog().LogIt("Not valid: %s", reason);
      return 0;
    }
  }
  return 1;
}

}  // namespace tevra::measure
