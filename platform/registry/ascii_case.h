// Case-insensitive handling of the registry's names: key paths and value names compare by their ASCII
// lower-case form.
#pragma once

#include <cctype>
#include <string>
#include <string_view>

namespace tevra::platform {

inline std::string asciiLowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

inline bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         asciiLowerCase(text.substr(0, prefix.size())) == asciiLowerCase(prefix);
}

}  // namespace tevra::platform
