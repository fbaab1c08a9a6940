#include "platform/com/errorinfo.h"

namespace tevra::platform {
namespace {

class ErrorInfoObject final : public ComObject<IErrorInfo> {
 public:
  ErrorInfoObject(std::u16string description, std::u16string source, const GUID& guid)
      : description_(std::move(description)), source_(std::move(source)), guid_(guid) {}

  HRESULT GetGUID(GUID* guid) override {
    if (guid == nullptr) return E_POINTER;
    *guid = guid_;
    return S_OK;
  }
  HRESULT GetSource(BSTR* source) override { return copyOut(source_, source); }
  HRESULT GetDescription(BSTR* description) override { return copyOut(description_, description); }

 private:
  static HRESULT copyOut(const std::u16string& text, BSTR* out) {
    if (out == nullptr) return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<uint32_t>(text.size()));
    return *out == nullptr ? E_OUTOFMEMORY : S_OK;
  }

  std::u16string description_;
  std::u16string source_;
  GUID guid_;
};

struct ThreadErrorInfo {
  ComPtr<IErrorInfo> info;
};

ThreadErrorInfo& threadErrorInfo() {
  thread_local ThreadErrorInfo slot;
  return slot;
}

}  // namespace

HRESULT SetErrorInfo(uint32_t /*reserved*/, IErrorInfo* info) {
  threadErrorInfo().info = ComPtr<IErrorInfo>::share(info);
  return S_OK;
}

HRESULT GetErrorInfo(uint32_t /*reserved*/, IErrorInfo** info) {
  if (info == nullptr) return E_INVALIDARG;
  *info = threadErrorInfo().info.detach();
  return *info == nullptr ? S_FALSE : S_OK;
}

ComPtr<IErrorInfo> CreateErrorInfo(const std::string& description, const std::string& source,
                                   const GUID& guid) {
  return ComPtr<IErrorInfo>::attach(new ErrorInfoObject(Utf8ToUtf16(description), Utf8ToUtf16(source), guid));
}

}  // namespace tevra::platform
