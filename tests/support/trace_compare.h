// Reading trace files in tests: the lines of a trace without their entry prefix
// ("MM/DD hh:mm:ss.mmm [XXXX] "), and a comparison with expected texts.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <source_location>
#include <string>
#include <string_view>
#include <vector>

namespace tevra::test {

// The text of a trace line after its entry prefix; a line without one is returned whole.
std::string_view stripTracePrefix(std::string_view line);

// The current end of a trace file (0 when it does not exist), to read only what is written afterwards.
uint64_t traceMark(const std::string& path);

// The lines from byte offset `from` on, split at CR LF, prefixes removed. A last line without CR LF is
// kept; a missing file gives no lines.
std::vector<std::string> readTraceLines(const std::string& path, uint64_t from = 0);

// A non-fatal failure at the caller's line unless the lines from `from` on are exactly `expected`.
void expectTraceLines(const std::string& path, const std::vector<std::string>& expected, uint64_t from = 0,
                      std::source_location where = std::source_location::current());

}  // namespace tevra::test
