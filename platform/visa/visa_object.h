// A session that the layer hands out: a resource manager or an instrument session, built in or a
// forwarder to a loaded VISA library. Calls that an object does not support answer VI_ERROR_NSUP_OPER.
#pragma once

#include <memory>

#include "platform/visa/visa.h"

namespace tevra::platform::visa {

class VisaObject {
 public:
  virtual ~VisaObject() = default;

  virtual bool isResourceManager() const = 0;
  virtual ViStatus close() = 0;
  // The resource manager that opened this session is being closed.
  virtual void closeWithManager() = 0;

  virtual ViStatus open(ViConstRsrc, ViAccessMode, ViUInt32, std::shared_ptr<VisaObject>*) {
    return VI_ERROR_NSUP_OPER;
  }
  virtual ViStatus write(ViConstBuf, ViUInt32, ViPUInt32) { return VI_ERROR_NSUP_OPER; }
  virtual ViStatus read(ViPBuf, ViUInt32, ViPUInt32) { return VI_ERROR_NSUP_OPER; }
  virtual ViStatus clear() { return VI_ERROR_NSUP_OPER; }
  virtual ViStatus readStatusByte(ViPUInt16) { return VI_ERROR_NSUP_OPER; }
  virtual ViStatus assertTrigger(ViUInt16) { return VI_ERROR_NSUP_OPER; }
  virtual ViStatus lock(ViAccessMode, ViUInt32, ViConstKeyId, ViKeyId) { return VI_ERROR_NSUP_OPER; }
  virtual ViStatus unlock() { return VI_ERROR_NSUP_OPER; }
  virtual ViStatus enableEvent(ViEventType, ViUInt16, ViEventFilter) { return VI_ERROR_INV_EVENT; }
  virtual ViStatus disableEvent(ViEventType, ViUInt16) { return VI_ERROR_INV_EVENT; }
  virtual ViStatus discardEvents(ViEventType, ViUInt16) { return VI_ERROR_INV_EVENT; }
  // The context, when asked for, is an object for the session table that viClose ends.
  virtual ViStatus waitOnEvent(ViEventType, ViUInt32, ViPEventType, std::shared_ptr<VisaObject>*) {
    return VI_ERROR_INV_EVENT;
  }
  virtual ViStatus terminate(ViUInt16, ViJobId) { return VI_ERROR_NSUP_OPER; }
  virtual ViStatus setAttribute(ViAttr, ViAttrState) { return VI_ERROR_NSUP_ATTR; }
  virtual ViStatus getAttribute(ViAttr, void*) { return VI_ERROR_NSUP_ATTR; }
};

// The context of an event that viWaitOnEvent took: its type, as VI_ATTR_EVENT_TYPE.
std::shared_ptr<VisaObject> makeEventContext(ViEventType type);

// The built-in resource manager.
std::shared_ptr<VisaObject> makeBuiltinResourceManager();

// A resource manager of the VISA library at path; VI_ERROR_LIBRARY_NFOUND when it cannot be used.
ViStatus openLibraryResourceManager(const char* path, std::shared_ptr<VisaObject>* manager);

}  // namespace tevra::platform::visa
