#include "platform/com/bstr.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "platform/com/com_error.h"

namespace tevra::platform {
namespace {

// Each BSTR is preceded by its length in bytes, as the system allocator lays it out.
constexpr size_t kPrefix = sizeof(uint32_t);

// Decodes one code point at i and advances i; a byte that does not start valid UTF-8 is taken as Latin-1.
uint32_t decodeUtf8(std::string_view text, size_t& i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  const int extra = lead >= 0xF0 && lead <= 0xF4  ? 3
                    : lead >= 0xE0 && lead < 0xF0 ? 2
                    : lead >= 0xC2 && lead < 0xE0 ? 1
                                                  : 0;
  if (extra == 0 || i + static_cast<size_t>(extra) >= text.size()) {
    ++i;
    return lead;
  }
  uint32_t cp = lead & (0x3Fu >> extra);
  for (int k = 1; k <= extra; ++k) {
    const unsigned char c = byte(i + k);
    if ((c & 0xC0) != 0x80) {
      ++i;
      return lead;
    }
    cp = (cp << 6) | (c & 0x3Fu);
  }
  const bool overlong = (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000);
  if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return lead;
  }
  i += static_cast<size_t>(extra) + 1;
  return cp;
}

void appendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

BSTR allocateOrRaise(const OLECHAR* text, size_t length) {
  if (length > 0x3FFFFFF0u) _com_issue_error(E_OUTOFMEMORY);
  BSTR b = SysAllocStringLen(text, static_cast<uint32_t>(length));
  if (b == nullptr) _com_issue_error(E_OUTOFMEMORY);
  return b;
}

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* text, uint32_t length) {
  const size_t bytes = static_cast<size_t>(length) * sizeof(OLECHAR);
  auto* block = static_cast<unsigned char*>(std::malloc(kPrefix + bytes + sizeof(OLECHAR)));
  if (block == nullptr) return nullptr;
  const auto byteLength = static_cast<uint32_t>(bytes);
  std::memcpy(block, &byteLength, kPrefix);
  auto* chars = reinterpret_cast<OLECHAR*>(block + kPrefix);
  if (text != nullptr) {
    std::memcpy(chars, text, bytes);
  } else {
    std::memset(chars, 0, bytes);
  }
  chars[length] = u'\0';
  return chars;
}

BSTR SysAllocString(const OLECHAR* text) {
  if (text == nullptr) return nullptr;
  return SysAllocStringLen(text, static_cast<uint32_t>(std::char_traits<char16_t>::length(text)));
}

void SysFreeString(BSTR text) {
  if (text != nullptr) std::free(reinterpret_cast<unsigned char*>(text) - kPrefix);
}

uint32_t SysStringLen(BSTR text) {
  if (text == nullptr) return 0;
  uint32_t bytes = 0;
  std::memcpy(&bytes, reinterpret_cast<unsigned char*>(text) - kPrefix, kPrefix);
  return bytes / sizeof(OLECHAR);
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const uint32_t cp = decodeUtf8(text, i);
    if (cp >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    appendUtf8(out, cp);
  }
  return out;
}

Bstr::Bstr(const char* text) {
  if (text == nullptr) return;
  const std::u16string wide = Utf8ToUtf16(text);
  text_ = allocateOrRaise(wide.data(), wide.size());
}

Bstr::Bstr(std::u16string_view text) : text_(allocateOrRaise(text.data(), text.size())) {}

Bstr::Bstr(Bstr&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}

Bstr& Bstr::operator=(Bstr&& other) noexcept {
  if (this != &other) {
    SysFreeString(text_);
    text_ = std::exchange(other.text_, nullptr);
  }
  return *this;
}

Bstr Bstr::attach(BSTR text) {
  Bstr b;
  b.text_ = text;
  return b;
}

BSTR Bstr::detach() {
  return std::exchange(text_, nullptr);
}

BSTR* Bstr::put() {
  SysFreeString(std::exchange(text_, nullptr));
  return &text_;
}

BSTR Bstr::copy() const {
  return text_ == nullptr ? nullptr : allocateOrRaise(text_, length());
}

}  // namespace tevra::platform
