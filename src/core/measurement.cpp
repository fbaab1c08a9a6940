#include "src/core/measurement.h"

#include "platform/kernel/kernel.h"
#include "src/core/settings.h"
#include "src/log/driver_logs.h"

namespace tevra::core {

double centreFrequencyHz(int32_t position) {
  if (server::instrument().held()) return server::at(position).get_Frequency();
  return settings().held.centerFrequencyMHz * 1000000.0;
}

double centreFrequencyMHz(int32_t position) {
  if (!server::instrument().held()) return settings().held.centerFrequencyMHz;
  return server::at(position).get_Frequency() * 0.000001;
}

void waitWhileMeasurementBusy() {
  while (server::instrument().get_MeasurementBusy() != 0) platform::Sleep(kMeasurementPollMs);
}

void traceStart(server::ServerOp op, platform::HRESULT hr) {
  log::traceLog().LogIt("%s()=%d", server::serverOpName(op), static_cast<int>(hr));
}

}  // namespace tevra::core
