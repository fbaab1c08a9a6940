#include "sim/instrument/event_status.h"

namespace tevra::sim {

void EventStatus::recordError(int code) {
  if (code <= -100 && code > -200) {
    set(kCommandError);
  } else if (code <= -200 && code > -300) {
    set(kExecutionError);
  } else if (code <= -400 && code > -500) {
    set(kQueryError);
  } else if (code != 0) {
    set(kDeviceError);
  }
}

uint8_t EventStatus::statusByte(bool errorQueued, bool messageAvailable) const {
  uint8_t status = 0;
  if (errorQueued) status |= kErrorQueueBit;
  if (messageAvailable) status |= kMessageAvailable;
  if ((register_ & eventEnable_) != 0) status |= kEventSummary;
  if ((status & serviceEnable_) != 0) status |= kMasterSummary;
  return status;
}

}  // namespace tevra::sim
