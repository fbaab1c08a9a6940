#include "platform/com/bstr.h"
#include "sim/server/q7730_server.h"
#include "sim/server/server_failure.h"

namespace tevra::q7730 {

std::string utf8Of(BSTR text) {
  if (text == nullptr) return {};
  return platform::Utf16ToUtf8({text, platform::SysStringLen(text)});
}

HRESULT returnText(std::string_view text, BSTR* out) {
  const std::u16string wide = platform::Utf8ToUtf16(text);
  *out = platform::SysAllocStringLen(wide.data(), static_cast<uint32_t>(wide.size()));
  if (*out == nullptr) fail(platform::E_OUTOFMEMORY, "out of memory for a text result");
  return platform::S_OK;
}

}  // namespace tevra::q7730
