// The power measurements over the simulated instrument's analyzer: each start initiates a capture, the
// busy flag is the instrument's, and the results are fetched from the last capture.
#include "sim/server/q7730_server.h"
#include "sim/server/server_failure.h"

namespace tevra::q7730 {
namespace {

// Field i of the power fetch: average, peak, burst power (dBm), burst found, overload.
enum PowerField { kAverage = 0, kOverload = 4, kPowerFields = 5 };

}  // namespace

double Q7730Server::fetchPowerField(int field) {
  return link_.fetchNumbers("FETCh:POWer?", kPowerFields)[static_cast<size_t>(field)];
}

HRESULT Q7730Server::get_MeasurementBusy(VARIANT_BOOL* out) {
  const bool busy = link_.queryBoolean("STATus:MEASurement:BUSY?");
  link_.checkErrors();
  *out = variantBool(busy);
  return platform::S_OK;
}

HRESULT Q7730Server::AveragePower_Initiate() {
  link_.run({"INITiate:POWer"});
  return platform::S_OK;
}
HRESULT Q7730Server::get_AveragePower_OverLoad(VARIANT_BOOL* out) {
  *out = variantBool(fetchPowerField(kOverload) != 0);
  return platform::S_OK;
}
HRESULT Q7730Server::get_AveragePower_Result(double* out) {
  *out = fetchPowerField(kAverage);
  return platform::S_OK;
}
// The CW offset is measured on the power capture.
HRESULT Q7730Server::CwFrequencyOffset_Initiate() {
  link_.run({"INITiate:POWer"});
  return platform::S_OK;
}
HRESULT Q7730Server::get_CwFrequencyOffset_OverLoad(VARIANT_BOOL* out) {
  *out = variantBool(fetchPowerField(kOverload) != 0);
  return platform::S_OK;
}
HRESULT Q7730Server::get_CwFrequencyOffset_Result(double* out) {
  *out = link_.fetchNumbers("FETCh:POWer:CW:FREQuency?", 1).front();
  return platform::S_OK;
}

// The personality only selects which measurements the instrument offers; the simulated one keeps it.
HRESULT Q7730Server::SetBluetoothMode() {
  bluetoothMode_ = true;
  return platform::S_OK;
}
HRESULT Q7730Server::SetWlanMode() {
  bluetoothMode_ = false;
  return platform::S_OK;
}

}  // namespace tevra::q7730
