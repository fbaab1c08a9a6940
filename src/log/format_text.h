// printf-style formatting into a text of any length.
#pragma once

#include <string>

namespace tevra::log {

// The formatted text; empty when the format is null or invalid.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tevra::log
