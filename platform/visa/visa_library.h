// The calls of a VISA shared library that the layer forwards to.
#pragma once

#include <string>

#include "platform/visa/visa.h"

namespace tevra::platform::visa {

struct VisaLibraryCalls {
  ViStatus (*openDefaultRM)(ViPSession);
  ViStatus (*open)(ViSession, ViConstRsrc, ViAccessMode, ViUInt32, ViPSession);
  ViStatus (*close)(ViObject);
  ViStatus (*write)(ViSession, ViConstBuf, ViUInt32, ViPUInt32);
  ViStatus (*read)(ViSession, ViPBuf, ViUInt32, ViPUInt32);
  ViStatus (*clear)(ViSession);
  ViStatus (*setAttribute)(ViObject, ViAttr, ViAttrState);
  ViStatus (*getAttribute)(ViObject, ViAttr, void*);
  // Calls that a library may lack: null then, and the forwarded call answers VI_ERROR_NSUP_OPER.
  ViStatus (*readSTB)(ViSession, ViPUInt16);
  ViStatus (*assertTrigger)(ViSession, ViUInt16);
  ViStatus (*lock)(ViSession, ViAccessMode, ViUInt32, ViConstKeyId, ViKeyId);
  ViStatus (*unlock)(ViSession);
  ViStatus (*enableEvent)(ViSession, ViEventType, ViUInt16, ViEventFilter);
  ViStatus (*disableEvent)(ViSession, ViEventType, ViUInt16);
  ViStatus (*discardEvents)(ViSession, ViEventType, ViUInt16);
  ViStatus (*waitOnEvent)(ViSession, ViEventType, ViUInt32, ViPEventType, ViPEvent);
  ViStatus (*terminate)(ViObject, ViUInt16, ViJobId);
};

// The calls of the library at path, loaded once per path and kept for the life of the process; null when
// the library cannot be loaded or lacks one of the calls that every VISA library has.
const VisaLibraryCalls* loadVisaLibrary(const std::string& path);

}  // namespace tevra::platform::visa
