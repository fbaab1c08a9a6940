// A stand-in VISA library for the tests of the forwarding to TEVRA_VISA_LIBRARY: it answers every call
// with fixed sessions and values of its own and records the calls, one line each.
#include <cstring>
#include <string>

#include "platform/visa/visa.h"

namespace {

constexpr ViSession kManager = 100;
constexpr ViSession kInstrument = 200;
constexpr ViEvent kEvent = 300;
constexpr const char* kReply = "STANDIN\n";
constexpr ViUInt32 kTimeout = 1234;

std::string& log() {
  static std::string calls;
  return calls;
}

void record(const std::string& line) {
  log() += line + "\n";
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) const char* visa_standin_log() {
  return log().c_str();
}
__attribute__((visibility("default"))) void visa_standin_reset() {
  log().clear();
}

__attribute__((visibility("default"))) ViStatus viOpenDefaultRM(ViPSession vi) {
  record("viOpenDefaultRM");
  *vi = kManager;
  return VI_SUCCESS;
}

__attribute__((visibility("default"))) ViStatus viOpen(ViSession sesn, ViConstRsrc name, ViAccessMode mode,
                                                       ViUInt32 timeout, ViPSession vi) {
  record("viOpen " + std::to_string(sesn) + " " + name + " " + std::to_string(mode) + " " +
         std::to_string(timeout));
  if (std::strstr(name, "MISSING") != nullptr) return VI_ERROR_RSRC_NFOUND;
  *vi = kInstrument;
  return VI_SUCCESS;
}

__attribute__((visibility("default"))) ViStatus viClose(ViObject vi) {
  record("viClose " + std::to_string(vi));
  return VI_SUCCESS;
}

__attribute__((visibility("default"))) ViStatus viWrite(ViSession vi, ViConstBuf buf, ViUInt32 cnt,
                                                        ViPUInt32 retCnt) {
  record("viWrite " + std::to_string(vi) + " " + std::string(reinterpret_cast<const char*>(buf), cnt));
  *retCnt = cnt;
  return VI_SUCCESS;
}

__attribute__((visibility("default"))) ViStatus viRead(ViSession vi, ViPBuf buf, ViUInt32 cnt,
                                                       ViPUInt32 retCnt) {
  record("viRead " + std::to_string(vi) + " " + std::to_string(cnt));
  size_t length = std::strlen(kReply) < cnt ? std::strlen(kReply) : cnt;
  std::memcpy(buf, kReply, length);
  *retCnt = static_cast<ViUInt32>(length);
  return VI_SUCCESS_TERM_CHAR;
}

__attribute__((visibility("default"))) ViStatus viClear(ViSession vi) {
  record("viClear " + std::to_string(vi));
  return VI_SUCCESS;
}

__attribute__((visibility("default"))) ViStatus viSetAttribute(ViObject vi, ViAttr attr, ViAttrState value) {
  record("viSetAttribute " + std::to_string(vi) + " " + std::to_string(attr) + " " + std::to_string(value));
  return VI_SUCCESS;
}

__attribute__((visibility("default"))) ViStatus viGetAttribute(ViObject vi, ViAttr attr, void* value) {
  record("viGetAttribute " + std::to_string(vi) + " " + std::to_string(attr));
  *static_cast<ViUInt32*>(value) = kTimeout;
  return VI_SUCCESS;
}

__attribute__((visibility("default"))) ViStatus viEnableEvent(ViSession vi, ViEventType type,
                                                              ViUInt16 mechanism, ViEventFilter) {
  record("viEnableEvent " + std::to_string(vi) + " " + std::to_string(type) + " " +
         std::to_string(mechanism));
  return VI_SUCCESS;
}

__attribute__((visibility("default"))) ViStatus viWaitOnEvent(ViSession vi, ViEventType type,
                                                              ViUInt32 timeout, ViPEventType outType,
                                                              ViPEvent context) {
  record("viWaitOnEvent " + std::to_string(vi) + " " + std::to_string(type) + " " + std::to_string(timeout));
  if (outType != nullptr) *outType = type;
  if (context != nullptr) *context = kEvent;
  return VI_SUCCESS;
}

}  // extern "C"
