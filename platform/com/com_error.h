// The COM error exception: the HRESULT of a failed call, the failing object's error information when it
// supplies one, and a message made from the HRESULT on demand.
#pragma once

#include <string>

#include "platform/com/errorinfo.h"

namespace tevra {

class _com_error {
 public:
  explicit _com_error(platform::HRESULT hr, platform::ComPtr<platform::IErrorInfo> info = nullptr)
      : hr_(hr), info_(std::move(info)) {}

  platform::HRESULT Error() const { return hr_; }
  platform::IErrorInfo* ErrorInfo() const { return info_.get(); }
  // The error information's description (UTF-8), empty when there is none.
  std::string Description() const;
  // The system's text for the HRESULT without its line end; else "IDispatch error #n" for an HRESULT in
  // 0x80040201..0x8004FFFF, else "Unknown error 0x%0lX".
  std::string ErrorMessage() const;

 private:
  platform::HRESULT hr_;
  platform::ComPtr<platform::IErrorInfo> info_;
};

// Raises a COM error without error information.
[[noreturn]] void _com_issue_error(platform::HRESULT hr);
// Raises a COM error with the thread's error information when object says it supports it for iid.
[[noreturn]] void _com_issue_errorex(platform::HRESULT hr, platform::IUnknown* object,
                                     const platform::IID& iid);

}  // namespace tevra
