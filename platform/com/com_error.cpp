#include "platform/com/com_error.h"

#include <cstdio>

#include "platform/kernel/kernel.h"

namespace tevra {

using platform::HRESULT;

std::string _com_error::Description() const {
  if (!info_) return {};
  platform::Bstr text;
  if (platform::FAILED(info_->GetDescription(text.put()))) return {};
  return text.utf8();
}

std::string _com_error::ErrorMessage() const {
  const auto code = static_cast<uint32_t>(hr_);
  if (auto text = platform::FormatSystemMessage(code)) {
    std::string message = std::move(*text);
    if (!message.empty() && message.back() == '\n') {
      message.pop_back();
      if (!message.empty() && message.back() == '\r') message.pop_back();
    }
    return message;
  }
  char buffer[64];
  const uint32_t wcode = code >= 0x80040200u && code <= 0x8004FFFFu ? code - 0x80040200u : 0;
  if (wcode != 0) {
    std::snprintf(buffer, sizeof buffer, "IDispatch error #%d", static_cast<int>(wcode));
  } else {
    std::snprintf(buffer, sizeof buffer, "Unknown error 0x%0lX", static_cast<unsigned long>(code));
  }
  return buffer;
}

void _com_issue_error(HRESULT hr) {
  throw _com_error(hr);
}

void _com_issue_errorex(HRESULT hr, platform::IUnknown* object, const platform::IID& iid) {
  platform::ComPtr<platform::IErrorInfo> info;
  if (object != nullptr) {
    platform::ComPtr<platform::ISupportErrorInfo> support;
    if (platform::SUCCEEDED(object->QueryInterface(platform::ISupportErrorInfo::iid, support.putVoid())) &&
        support->InterfaceSupportsErrorInfo(iid) == platform::S_OK) {
      platform::GetErrorInfo(0, info.put());
    }
  }
  throw _com_error(hr, std::move(info));
}

namespace platform {
void raiseNullInterface() {
  _com_issue_error(E_POINTER);
}
}  // namespace platform

}  // namespace tevra
