#include "src/core/names.h"

#include <algorithm>

namespace tevra::core {
namespace {

char foldAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool sameName(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return foldAscii(x) == foldAscii(y); });
}

}  // namespace tevra::core
