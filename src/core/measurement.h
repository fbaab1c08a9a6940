// The server's measurement pattern, written once: start the measurement, trace the start's HRESULT, poll
// `MeasurementBusy` every 20 ms until it clears, read the overload flag. Every step stores its position
// number first; a failing start or busy read raises into the caller's frame.
#pragma once

#include <cstdint>

#include "src/server/instrument.h"

namespace tevra::core {

inline constexpr uint32_t kMeasurementPollMs = 20;

// The analyzer centre frequency: the server's `Frequency` (read at position; a failure raises) while an
// instrument interface is held, else the driver-held CenterFrequency_MHz. Each unit is read as held, so
// neither goes through a conversion and back.
double centreFrequencyHz(int32_t position);
double centreFrequencyMHz(int32_t position);

// Polls `MeasurementBusy` until it reads 0. There is no time limit: the server decides when its measurement
// ends, and a failing read ends the wait by raising.
void waitWhileMeasurementBusy();

// Traces "<operation>()=<HRESULT>", the line every measurement start writes.
void traceStart(server::ServerOp op, platform::HRESULT hr);

// Calls the start operation at its position, traces it and waits for the measurement to end.
template <server::ServerOp kStart>
void startMeasurement(int32_t position) {
  const platform::HRESULT hr = server::at(position).call<kStart>();
  traceStart(kStart, hr);
  waitWhileMeasurementBusy();
}

// Starts with kForce when force is set, else with kStart; each has its own position.
template <server::ServerOp kStart, server::ServerOp kForce>
void startMeasurement(bool force, int32_t startPosition, int32_t forcePosition) {
  if (force) {
    startMeasurement<kForce>(forcePosition);
  } else {
    startMeasurement<kStart>(startPosition);
  }
}

// Reads an overload flag without testing its HRESULT: a refused read counts as not overloaded.
template <server::ServerOp kOverload>
bool readOverload(int32_t position) {
  const auto outcome = server::at(position).tryCall<kOverload>();
  return !outcome.failed() && outcome.value != 0;
}

// A read whose refusal leaves the caller's value as it was; true when the server gave the value.
template <server::ServerOp kRead>
bool readUntested(int32_t position, double* out) {
  const auto outcome = server::at(position).tryCall<kRead>();
  if (outcome.failed()) return false;
  *out = outcome.value;
  return true;
}

}  // namespace tevra::core
