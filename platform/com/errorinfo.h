// Per-thread error information: a failing object leaves an IErrorInfo for the caller's thread, and tells
// through ISupportErrorInfo for which interfaces it does so.
#pragma once

#include <string>

#include "platform/com/bstr.h"
#include "platform/com/unknown.h"

namespace tevra::platform {

struct IErrorInfo : IUnknown {
  static constexpr IID iid = {0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
  virtual HRESULT GetGUID(GUID* guid) = 0;
  virtual HRESULT GetSource(BSTR* source) = 0;
  virtual HRESULT GetDescription(BSTR* description) = 0;

 protected:
  ~IErrorInfo() = default;
};

struct ISupportErrorInfo : IUnknown {
  static constexpr IID iid = {0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
  virtual HRESULT InterfaceSupportsErrorInfo(const IID& iid) = 0;

 protected:
  ~ISupportErrorInfo() = default;
};

// Replaces the calling thread's error information (null clears it).
HRESULT SetErrorInfo(uint32_t reserved, IErrorInfo* info);
// Takes the calling thread's error information: S_FALSE and null when there is none.
HRESULT GetErrorInfo(uint32_t reserved, IErrorInfo** info);
// A new error information object with one reference.
ComPtr<IErrorInfo> CreateErrorInfo(const std::string& description, const std::string& source,
                                   const GUID& guid);

}  // namespace tevra::platform
