#include "tests/support/trace_compare.h"

#include <cctype>
#include <filesystem>

#include "tests/support/temp_dir.h"

namespace tevra::test {
namespace {

// "MM/DD hh:mm:ss.mmm [" with digits at the '9's.
constexpr std::string_view kTimePattern = "99/99 99:99:99.999 [";
constexpr size_t kMinThreadDigits = 4;

bool matchesTimePattern(std::string_view line) {
  if (line.size() < kTimePattern.size()) return false;
  for (size_t i = 0; i < kTimePattern.size(); ++i) {
    const bool digit = std::isdigit(static_cast<unsigned char>(line[i])) != 0;
    if (kTimePattern[i] == '9' ? !digit : line[i] != kTimePattern[i]) return false;
  }
  return true;
}

bool isUpperHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

}  // namespace

std::string_view stripTracePrefix(std::string_view line) {
  if (!matchesTimePattern(line)) return line;
  size_t end = kTimePattern.size();
  while (end < line.size() && isUpperHexDigit(line[end])) ++end;
  const bool closed = line.substr(end, 2) == "] ";
  if (end - kTimePattern.size() < kMinThreadDigits || !closed) return line;
  return line.substr(end + 2);
}

uint64_t traceMark(const std::string& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  return error ? 0 : static_cast<uint64_t>(size);
}

std::vector<std::string> readTraceLines(const std::string& path, uint64_t from) {
  const std::string content = readFile(path);
  std::vector<std::string> lines;
  size_t start = from;
  while (start < content.size()) {
    size_t end = content.find("\r\n", start);
    if (end == std::string::npos) end = content.size();
    lines.emplace_back(stripTracePrefix(std::string_view(content).substr(start, end - start)));
    start = end + 2;
  }
  return lines;
}

void expectTraceLines(const std::string& path, const std::vector<std::string>& expected, uint64_t from,
                      std::source_location where) {
  const std::vector<std::string> actual = readTraceLines(path, from);
  if (actual != expected) {
    ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line()))
        << path << " holds\n  " << ::testing::PrintToString(actual) << "\nexpected\n  "
        << ::testing::PrintToString(expected);
  }
}

}  // namespace tevra::test
