// The exported VISA calls: each finds its session in the table and hands the call to it. No exception
// leaves a call.
#include <cstdlib>
#include <new>

#include "platform/visa/session_table.h"
#include "platform/visa/visa.h"

namespace tevra::platform::visa {
namespace {

template <class F>
ViStatus guarded(F&& call) {
  try {
    return call();
  } catch (const std::bad_alloc&) {
    return VI_ERROR_ALLOC;
  } catch (...) {
    return VI_ERROR_SYSTEM_ERROR;
  }
}

template <class F>
ViStatus withSession(ViObject id, F&& call) {
  return guarded([&]() -> ViStatus {
    auto object = SessionTable::instance().find(id);
    if (!object) return VI_ERROR_INV_OBJECT;
    return call(*object);
  });
}

ViStatus openResourceManager(std::shared_ptr<VisaObject>* manager) {
  const char* library = std::getenv("TEVRA_VISA_LIBRARY");
  if (library != nullptr && library[0] != '\0') return openLibraryResourceManager(library, manager);
  *manager = makeBuiltinResourceManager();
  return VI_SUCCESS;
}

}  // namespace
}  // namespace tevra::platform::visa

using tevra::platform::visa::guarded;
using tevra::platform::visa::SessionTable;
using tevra::platform::visa::VisaObject;
using tevra::platform::visa::withSession;

extern "C" {

ViStatus viOpenDefaultRM(ViPSession vi) {
  if (vi == nullptr) return VI_ERROR_USER_BUF;
  *vi = VI_NULL;
  return guarded([&]() -> ViStatus {
    std::shared_ptr<VisaObject> manager;
    ViStatus status = tevra::platform::visa::openResourceManager(&manager);
    if (status < 0) return status;
    *vi = SessionTable::instance().add(std::move(manager), VI_NULL);
    return status;
  });
}

ViStatus viOpen(ViSession sesn, ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout, ViPSession vi) {
  if (vi == nullptr) return VI_ERROR_USER_BUF;
  *vi = VI_NULL;
  return withSession(sesn, [&](VisaObject& manager) -> ViStatus {
    if (!manager.isResourceManager()) return VI_ERROR_INV_OBJECT;
    std::shared_ptr<VisaObject> session;
    ViStatus status = manager.open(name, mode, timeout, &session);
    if (status < 0) return status;
    *vi = SessionTable::instance().add(std::move(session), sesn);
    return status;
  });
}

ViStatus viClose(ViObject vi) {
  if (vi == VI_NULL) return VI_WARN_NULL_OBJECT;
  return guarded([&]() -> ViStatus {
    std::shared_ptr<VisaObject> object;
    std::vector<std::shared_ptr<VisaObject>> owned;
    if (!SessionTable::instance().remove(vi, &object, &owned)) return VI_ERROR_INV_OBJECT;
    for (auto& session : owned) session->closeWithManager();
    return object->close();
  });
}

ViStatus viWrite(ViSession vi, ViConstBuf buf, ViUInt32 cnt, ViPUInt32 retCnt) {
  return withSession(vi, [&](VisaObject& session) { return session.write(buf, cnt, retCnt); });
}

ViStatus viRead(ViSession vi, ViPBuf buf, ViUInt32 cnt, ViPUInt32 retCnt) {
  return withSession(vi, [&](VisaObject& session) { return session.read(buf, cnt, retCnt); });
}

ViStatus viClear(ViSession vi) {
  return withSession(vi, [&](VisaObject& session) { return session.clear(); });
}

ViStatus viSetAttribute(ViObject vi, ViAttr attrName, ViAttrState attrValue) {
  return withSession(vi, [&](VisaObject& object) { return object.setAttribute(attrName, attrValue); });
}

ViStatus viGetAttribute(ViObject vi, ViAttr attrName, void* attrValue) {
  return withSession(vi, [&](VisaObject& object) { return object.getAttribute(attrName, attrValue); });
}

ViStatus viReadSTB(ViSession vi, ViPUInt16 status) {
  return withSession(vi, [&](VisaObject& session) { return session.readStatusByte(status); });
}

ViStatus viAssertTrigger(ViSession vi, ViUInt16 protocol) {
  return withSession(vi, [&](VisaObject& session) { return session.assertTrigger(protocol); });
}

ViStatus viLock(ViSession vi, ViAccessMode lockType, ViUInt32 timeout, ViConstKeyId requestedKey,
                ViKeyId accessKey) {
  return withSession(
      vi, [&](VisaObject& session) { return session.lock(lockType, timeout, requestedKey, accessKey); });
}

ViStatus viUnlock(ViSession vi) {
  return withSession(vi, [&](VisaObject& session) { return session.unlock(); });
}

ViStatus viEnableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism, ViEventFilter context) {
  return withSession(vi,
                     [&](VisaObject& session) { return session.enableEvent(eventType, mechanism, context); });
}

ViStatus viDisableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism) {
  return withSession(vi, [&](VisaObject& session) { return session.disableEvent(eventType, mechanism); });
}

ViStatus viDiscardEvents(ViSession vi, ViEventType eventType, ViUInt16 mechanism) {
  return withSession(vi, [&](VisaObject& session) { return session.discardEvents(eventType, mechanism); });
}

ViStatus viWaitOnEvent(ViSession vi, ViEventType inEventType, ViUInt32 timeout, ViPEventType outEventType,
                       ViPEvent outContext) {
  if (outContext != nullptr) *outContext = VI_NULL;
  return withSession(vi, [&](VisaObject& session) -> ViStatus {
    std::shared_ptr<VisaObject> context;
    ViStatus status =
        session.waitOnEvent(inEventType, timeout, outEventType, outContext != nullptr ? &context : nullptr);
    if (status >= 0 && context) *outContext = SessionTable::instance().add(std::move(context), VI_NULL);
    return status;
  });
}

ViStatus viTerminate(ViObject vi, ViUInt16 degree, ViJobId jobId) {
  return withSession(vi, [&](VisaObject& session) { return session.terminate(degree, jobId); });
}

}  // extern "C"
