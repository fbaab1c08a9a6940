// Length-prefixed texts of 16-bit characters with the ownership rules of BSTR: the allocator owns them, a
// null BSTR is an empty text, and SysFreeString releases one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/com/hresult.h"

namespace tevra::platform {

using OLECHAR = char16_t;
using BSTR = OLECHAR*;

BSTR SysAllocString(const OLECHAR* text);
BSTR SysAllocStringLen(const OLECHAR* text, uint32_t length);
void SysFreeString(BSTR text);
uint32_t SysStringLen(BSTR text);

// The driver's 8-bit texts are UTF-8 on this platform; bytes that are not UTF-8 are taken as Latin-1.
std::u16string Utf8ToUtf16(std::string_view text);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// A BSTR with one owner. A failed allocation raises E_OUTOFMEMORY as a COM error.
class Bstr {
 public:
  Bstr() = default;
  // A null text gives a null BSTR, as the automation conversions do.
  explicit Bstr(const char* text);
  explicit Bstr(std::u16string_view text);
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& other) noexcept;
  Bstr& operator=(Bstr&& other) noexcept;
  ~Bstr() { SysFreeString(text_); }

  static Bstr attach(BSTR text);
  BSTR get() const { return text_; }
  BSTR detach();
  // For an output argument: frees what is held and returns the slot.
  BSTR* put();
  // Copies the text for an output argument that the receiver will own.
  BSTR copy() const;

  uint32_t length() const { return SysStringLen(text_); }
  bool isNull() const { return text_ == nullptr; }
  std::u16string_view view() const { return {text_ == nullptr ? u"" : text_, length()}; }
  std::string utf8() const { return Utf16ToUtf8(view()); }

 private:
  BSTR text_ = nullptr;
};

}  // namespace tevra::platform
