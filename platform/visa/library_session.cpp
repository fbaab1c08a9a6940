#include <string>

#include "platform/visa/visa_library.h"
#include "platform/visa/visa_object.h"

namespace tevra::platform::visa {
namespace {

// A session of the loaded library: every call goes to it with the library's own session number.
class LibrarySession final : public VisaObject {
 public:
  LibrarySession(const VisaLibraryCalls& calls, ViSession native, bool manager)
      : calls_(calls), native_(native), manager_(manager) {}

  bool isResourceManager() const override { return manager_; }
  ViStatus close() override { return calls_.close(native_); }
  // The library closes the sessions of a resource manager itself.
  void closeWithManager() override {}

  ViStatus open(ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout,
                std::shared_ptr<VisaObject>* session) override {
    ViSession native = VI_NULL;
    ViStatus status = calls_.open(native_, name, mode, timeout, &native);
    if (status >= 0) *session = std::make_shared<LibrarySession>(calls_, native, false);
    return status;
  }
  ViStatus write(ViConstBuf buf, ViUInt32 cnt, ViPUInt32 retCnt) override {
    return calls_.write(native_, buf, cnt, retCnt);
  }
  ViStatus read(ViPBuf buf, ViUInt32 cnt, ViPUInt32 retCnt) override {
    return calls_.read(native_, buf, cnt, retCnt);
  }
  ViStatus clear() override { return calls_.clear(native_); }
  ViStatus readStatusByte(ViPUInt16 statusByte) override {
    return calls_.readSTB ? calls_.readSTB(native_, statusByte) : VI_ERROR_NSUP_OPER;
  }
  ViStatus assertTrigger(ViUInt16 protocol) override {
    return calls_.assertTrigger ? calls_.assertTrigger(native_, protocol) : VI_ERROR_NSUP_OPER;
  }
  ViStatus lock(ViAccessMode type, ViUInt32 timeout, ViConstKeyId requested, ViKeyId access) override {
    return calls_.lock ? calls_.lock(native_, type, timeout, requested, access) : VI_ERROR_NSUP_OPER;
  }
  ViStatus unlock() override { return calls_.unlock ? calls_.unlock(native_) : VI_ERROR_NSUP_OPER; }
  ViStatus enableEvent(ViEventType type, ViUInt16 mechanism, ViEventFilter context) override {
    return calls_.enableEvent ? calls_.enableEvent(native_, type, mechanism, context) : VI_ERROR_NSUP_OPER;
  }
  ViStatus disableEvent(ViEventType type, ViUInt16 mechanism) override {
    return calls_.disableEvent ? calls_.disableEvent(native_, type, mechanism) : VI_ERROR_NSUP_OPER;
  }
  ViStatus discardEvents(ViEventType type, ViUInt16 mechanism) override {
    return calls_.discardEvents ? calls_.discardEvents(native_, type, mechanism) : VI_ERROR_NSUP_OPER;
  }
  // The library's event context is handed out as a session of its own, which viClose closes there.
  ViStatus waitOnEvent(ViEventType type, ViUInt32 timeout, ViPEventType outType,
                       std::shared_ptr<VisaObject>* context) override {
    if (!calls_.waitOnEvent) return VI_ERROR_NSUP_OPER;
    ViEvent event = VI_NULL;
    ViStatus status =
        calls_.waitOnEvent(native_, type, timeout, outType, context != nullptr ? &event : nullptr);
    if (status >= 0 && context != nullptr && event != VI_NULL)
      *context = std::make_shared<LibrarySession>(calls_, event, false);
    return status;
  }
  ViStatus terminate(ViUInt16 degree, ViJobId jobId) override {
    return calls_.terminate ? calls_.terminate(native_, degree, jobId) : VI_ERROR_NSUP_OPER;
  }
  ViStatus setAttribute(ViAttr attr, ViAttrState value) override {
    return calls_.setAttribute(native_, attr, value);
  }
  ViStatus getAttribute(ViAttr attr, void* value) override {
    return calls_.getAttribute(native_, attr, value);
  }

 private:
  const VisaLibraryCalls& calls_;
  ViSession native_;
  bool manager_;
};

}  // namespace

ViStatus openLibraryResourceManager(const char* path, std::shared_ptr<VisaObject>* manager) {
  const VisaLibraryCalls* calls = loadVisaLibrary(path);
  if (calls == nullptr) return VI_ERROR_LIBRARY_NFOUND;
  ViSession native = VI_NULL;
  ViStatus status = calls->openDefaultRM(&native);
  if (status >= 0) *manager = std::make_shared<LibrarySession>(*calls, native, true);
  return status;
}

}  // namespace tevra::platform::visa
