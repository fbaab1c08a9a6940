// printf-style formatting into a text of any length, and the check of formats that come from callers.
#pragma once

#include <string>

namespace tevra::log {

// The formatted text; empty when the format is null or invalid.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Whether a printf format holds a %n conversion (with any flags, width, precision or length).
bool formatWritesToMemory(const char* format);

}  // namespace tevra::log
