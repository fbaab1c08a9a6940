// The driver's two logs and the switch that copies caller trace lines to the debugger output.
#pragma once

#include <atomic>
#include <cstdint>

#include "src/log/log_file.h"

namespace tevra::log {

// The trace log that every part of the driver writes to.
LogFile& traceLog();
// The log that holds the CSV test report.
LogFile& reportLog();

// LogIt_DebugOutput: when non-zero, Tevra_Log_LogIt also sends its text to the debugger output.
std::atomic<int32_t>& debugOutputSwitch();

}  // namespace tevra::log
