#include <mutex>
#include <string_view>

#include "platform/visa/instrument_link.h"
#include "platform/visa/resource_name.h"
#include "platform/visa/visa_object.h"

namespace tevra::platform::visa {
namespace {

constexpr ViAccessMode kKnownAccessModes = VI_EXCLUSIVE_LOCK | VI_SHARED_LOCK | VI_LOAD_CONFIG;

// At most limit characters of a zero-terminated text: enough to tell an overlong name.
std::string_view boundedText(const char* text, size_t limit) {
  size_t length = 0;
  while (length < limit && text[length] != '\0') ++length;
  return {text, length};
}

void setCount(ViPUInt32 count, size_t value) {
  if (count != nullptr) *count = static_cast<ViUInt32>(value);
}

// An instrument session on a link. Calls on one session are serialised; close() wakes a call in progress.
class BuiltinSession final : public VisaObject {
 public:
  explicit BuiltinSession(std::unique_ptr<InstrumentLink> link) : link_(std::move(link)) {}

  bool isResourceManager() const override { return false; }

  ViStatus close() override {
    link_->shutdown();
    return VI_SUCCESS;
  }
  void closeWithManager() override { link_->shutdown(); }

  ViStatus write(ViConstBuf buf, ViUInt32 cnt, ViPUInt32 retCnt) override {
    setCount(retCnt, 0);
    if (buf == nullptr && cnt > 0) return VI_ERROR_USER_BUF;
    std::lock_guard<std::mutex> lock(io_);
    size_t sent = 0;
    ViStatus status = link_->write(buf, cnt, sendEnd_, Deadline::afterMilliseconds(timeoutMs_), &sent);
    setCount(retCnt, sent);
    return status;
  }

  ViStatus read(ViPBuf buf, ViUInt32 cnt, ViPUInt32 retCnt) override {
    setCount(retCnt, 0);
    if (buf == nullptr && cnt > 0) return VI_ERROR_USER_BUF;
    std::lock_guard<std::mutex> lock(io_);
    size_t received = 0;
    ViStatus status = link_->read(buf, cnt, termination_, Deadline::afterMilliseconds(timeoutMs_), &received);
    setCount(retCnt, received);
    return status;
  }

  // A call that another thread has in progress is aborted first where the transport can.
  ViStatus clear() override {
    std::unique_lock<std::mutex> lock(io_, std::try_to_lock);
    if (!lock.owns_lock()) {
      link_->abort();
      lock.lock();
    }
    return link_->clear(termination_, Deadline::afterMilliseconds(timeoutMs_));
  }

  ViStatus terminate(ViUInt16 degree, ViJobId jobId) override {
    if (degree != VI_NULL) return VI_ERROR_INV_DEGREE;
    if (jobId != VI_NULL) return VI_ERROR_INV_JOB_ID;
    return link_->abort();
  }

  ViStatus enableEvent(ViEventType type, ViUInt16 mechanism, ViEventFilter) override {
    if (type != VI_EVENT_SERVICE_REQ) return VI_ERROR_INV_EVENT;
    if (mechanism == VI_HNDLR || mechanism == VI_SUSPEND_HNDLR) return VI_ERROR_NSUP_MECH;
    if (mechanism != VI_QUEUE) return VI_ERROR_INV_MECH;
    std::lock_guard<std::mutex> lock(io_);
    if (!events_.enabled()) {
      ViStatus status = link_->enableServiceRequests(&events_);
      if (status < 0) return status;
    }
    return events_.enable();
  }

  ViStatus disableEvent(ViEventType type, ViUInt16 mechanism) override {
    ViStatus status = checkEventToStop(type, mechanism);
    if (status < 0) return status;
    std::lock_guard<std::mutex> lock(io_);
    if (!events_.enabled()) return VI_SUCCESS_EVENT_DIS;
    status = link_->disableServiceRequests();
    if (status < 0) return status;
    return events_.disable();
  }

  ViStatus discardEvents(ViEventType type, ViUInt16 mechanism) override {
    ViStatus status = checkEventToStop(type, mechanism);
    return status < 0 ? status : events_.discard();
  }

  // Waits in slices, so that the other calls of the transport's channel are not held up for long.
  ViStatus waitOnEvent(ViEventType type, ViUInt32 timeout, ViPEventType outType,
                       std::shared_ptr<VisaObject>* context) override {
    if (type != VI_EVENT_SERVICE_REQ && type != VI_ALL_ENABLED_EVENTS) return VI_ERROR_INV_EVENT;
    if (!events_.enabled()) return VI_ERROR_NENABLED;
    Deadline deadline = Deadline::afterMilliseconds(timeout);
    for (bool waited = false;; waited = true) {
      ViStatus status = events_.take();
      if (status >= 0) {
        if (outType != nullptr) *outType = VI_EVENT_SERVICE_REQ;
        if (context != nullptr) *context = makeEventContext(VI_EVENT_SERVICE_REQ);
        return status;
      }
      if (waited && deadline.expired()) return VI_ERROR_TMO;
      status = link_->awaitEvents(events_, deadline.atMost(kEventSliceMs));
      if (status < 0 && status != VI_ERROR_TMO) return status;
    }
  }

  ViStatus readStatusByte(ViPUInt16 statusByte) override {
    if (statusByte == nullptr) return VI_ERROR_USER_BUF;
    std::lock_guard<std::mutex> lock(io_);
    return link_->readStatusByte(termination_, Deadline::afterMilliseconds(timeoutMs_), statusByte);
  }

  ViStatus assertTrigger(ViUInt16 protocol) override {
    if (protocol != VI_TRIG_PROT_DEFAULT) return VI_ERROR_INV_PROT;
    std::lock_guard<std::mutex> lock(io_);
    return link_->assertTrigger(Deadline::afterMilliseconds(timeoutMs_));
  }

  // Locks nest: the device lock is taken by the first and given back by the last unlock.
  ViStatus lock(ViAccessMode type, ViUInt32 timeout, ViConstKeyId, ViKeyId accessKey) override {
    if (type != VI_EXCLUSIVE_LOCK) return VI_ERROR_INV_LOCK_TYPE;
    std::lock_guard<std::mutex> lock(io_);
    if (lockDepth_ == 0) {
      ViStatus status = link_->lock(timeout);
      if (status < 0) return status;
    }
    ++lockDepth_;
    if (accessKey != nullptr) accessKey[0] = '\0';
    return lockDepth_ > 1 ? VI_SUCCESS_NESTED_EXCLUSIVE : VI_SUCCESS;
  }

  ViStatus unlock() override {
    std::lock_guard<std::mutex> lock(io_);
    if (lockDepth_ == 0) return VI_ERROR_SESN_NLOCKED;
    if (lockDepth_ == 1) {
      ViStatus status = link_->unlock();
      if (status < 0) return status;
    }
    --lockDepth_;
    return VI_SUCCESS;
  }

  ViStatus setAttribute(ViAttr attr, ViAttrState value) override {
    std::lock_guard<std::mutex> lock(io_);
    switch (attr) {
      case VI_ATTR_TMO_VALUE:
        if (value > VI_TMO_INFINITE) return VI_ERROR_NSUP_ATTR_STATE;
        timeoutMs_ = static_cast<ViUInt32>(value);
        return VI_SUCCESS;
      case VI_ATTR_TERMCHAR:
        if (value > 0xFF) return VI_ERROR_NSUP_ATTR_STATE;
        termination_.character = static_cast<char>(value);
        return VI_SUCCESS;
      case VI_ATTR_TERMCHAR_EN:
        if (value != VI_TRUE && value != VI_FALSE) return VI_ERROR_NSUP_ATTR_STATE;
        termination_.enabled = value == VI_TRUE;
        return VI_SUCCESS;
      case VI_ATTR_SEND_END_EN:
        if (value != VI_TRUE && value != VI_FALSE) return VI_ERROR_NSUP_ATTR_STATE;
        sendEnd_ = value == VI_TRUE;
        return VI_SUCCESS;
      default:
        return VI_ERROR_NSUP_ATTR;
    }
  }

  ViStatus getAttribute(ViAttr attr, void* value) override {
    if (value == nullptr) return VI_ERROR_USER_BUF;
    std::lock_guard<std::mutex> lock(io_);
    switch (attr) {
      case VI_ATTR_TMO_VALUE:
        *static_cast<ViUInt32*>(value) = timeoutMs_;
        return VI_SUCCESS;
      case VI_ATTR_TERMCHAR:
        *static_cast<ViUInt8*>(value) = static_cast<ViUInt8>(termination_.character);
        return VI_SUCCESS;
      case VI_ATTR_TERMCHAR_EN:
        *static_cast<ViBoolean*>(value) = termination_.enabled ? VI_TRUE : VI_FALSE;
        return VI_SUCCESS;
      case VI_ATTR_SEND_END_EN:
        *static_cast<ViBoolean*>(value) = sendEnd_ ? VI_TRUE : VI_FALSE;
        return VI_SUCCESS;
      default:
        return VI_ERROR_NSUP_ATTR;
    }
  }

 private:
  static constexpr ViUInt32 kEventSliceMs = 100;

  static ViStatus checkEventToStop(ViEventType type, ViUInt16 mechanism) {
    if (type != VI_EVENT_SERVICE_REQ && type != VI_ALL_ENABLED_EVENTS) return VI_ERROR_INV_EVENT;
    if (mechanism == VI_ALL_MECH || mechanism == VI_QUEUE) return VI_SUCCESS;
    bool known = mechanism != 0 && (mechanism & ~(VI_QUEUE | VI_HNDLR | VI_SUSPEND_HNDLR)) == 0;
    return known ? VI_ERROR_NSUP_MECH : VI_ERROR_INV_MECH;
  }

  // Before the link: its threads post to the queue until it is gone.
  EventQueue events_;
  std::unique_ptr<InstrumentLink> link_;
  std::mutex io_;
  ViUInt32 timeoutMs_ = TEVRA_VISA_DEFAULT_TMO_MS;
  ReadTermination termination_;
  bool sendEnd_ = true;
  unsigned lockDepth_ = 0;
};

class EventContext final : public VisaObject {
 public:
  explicit EventContext(ViEventType type) : type_(type) {}
  bool isResourceManager() const override { return false; }
  ViStatus close() override { return VI_SUCCESS; }
  void closeWithManager() override {}
  ViStatus getAttribute(ViAttr attr, void* value) override {
    if (value == nullptr) return VI_ERROR_USER_BUF;
    if (attr != VI_ATTR_EVENT_TYPE) return VI_ERROR_NSUP_ATTR;
    *static_cast<ViEventType*>(value) = type_;
    return VI_SUCCESS;
  }

 private:
  ViEventType type_;
};

class BuiltinResourceManager final : public VisaObject {
 public:
  bool isResourceManager() const override { return true; }
  ViStatus close() override { return VI_SUCCESS; }
  void closeWithManager() override {}

  ViStatus open(ViConstRsrc name, ViAccessMode mode, ViUInt32,
                std::shared_ptr<VisaObject>* session) override {
    if (name == nullptr) return VI_ERROR_INV_RSRC_NAME;
    if ((mode & ~kKnownAccessModes) != 0 ||
        (mode & (VI_EXCLUSIVE_LOCK | VI_SHARED_LOCK)) == (VI_EXCLUSIVE_LOCK | VI_SHARED_LOCK)) {
      return VI_ERROR_INV_ACC_MODE;
    }
    ParsedResource parsed = parseResourceName(boundedText(name, kMaxResourceNameLength + 1));
    if (parsed.status < 0) return parsed.status;
    ViStatus status = VI_ERROR_RSRC_NFOUND;
    auto link = openInstrumentLink(parsed.name, &status);
    if (!link) return status;
    *session = std::make_shared<BuiltinSession>(std::move(link));
    return VI_SUCCESS;
  }
};

}  // namespace

std::shared_ptr<VisaObject> makeEventContext(ViEventType type) {
  return std::make_shared<EventContext>(type);
}

std::shared_ptr<VisaObject> makeBuiltinResourceManager() {
  return std::make_shared<BuiltinResourceManager>();
}

}  // namespace tevra::platform::visa
