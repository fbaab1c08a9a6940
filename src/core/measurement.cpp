#include "src/core/measurement.h"

#include "platform/kernel/kernel.h"
#include "src/log/driver_logs.h"

namespace tevra::core {

void waitWhileMeasurementBusy() {
  while (server::instrument().get_MeasurementBusy() != 0) platform::Sleep(kMeasurementPollMs);
}

void traceStart(server::ServerOp op, platform::HRESULT hr) {
  log::traceLog().LogIt("%s()=%d", server::serverOpName(op), static_cast<int>(hr));
}

}  // namespace tevra::core
