// The file a LogFile opens for a name, a naming mode and the local time of the opening.
#pragma once

#include <cstdint>
#include <string>

#include "platform/kernel/kernel.h"

namespace tevra::log {

// Modes 0 to 2 use the name itself. Modes 3 to 7 insert the date between base and extension (the text from
// the last '.' that follows the last '\', '/' or ':'): ".yymmdd", ".yyWww", ".yyWww-mmdd" (dated by the
// Sunday that begins the week), ".yyMmm", ".yymmdd-hhmmss". Week numbers count weeks from Sunday, the days
// before the year's first Sunday being week 1.
std::string logFileNameFor(const std::string& name, int32_t namingMode, const platform::SystemTime& now);

// The name an existing file gets before mode 2 creates a new one: "name.mmdd-hhmmss".
std::string renamedLogFileName(const std::string& name, const platform::SystemTime& now);

}  // namespace tevra::log
