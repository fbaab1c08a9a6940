#include "src/log/driver_logs.h"

namespace tevra::log {

LogFile& traceLog() {
  static LogFile log(nullptr, kNameWeeklyFromSunday, true);
  return log;
}

LogFile& reportLog() {
  static LogFile log(nullptr, kNameWeeklyFromSunday, true);
  return log;
}

std::atomic<int32_t>& debugOutputSwitch() {
  static std::atomic<int32_t> value{0};
  return value;
}

}  // namespace tevra::log
