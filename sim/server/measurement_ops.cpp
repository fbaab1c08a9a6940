// The power measurements over the simulated instrument's analyzer: each start initiates a capture, the
// busy flag is the instrument's, and the results are fetched from the last capture. Operations whose
// figure the analyzer does not measure refuse with E_NOTIMPL and say so, rather than answering a value that
// was not measured.
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

#define Q7730_REFUSE_START(Name) \
  HRESULT Q7730Server::Name() {  \
    notSimulated(#Name);         \
  }
#define Q7730_REFUSE_READ(Name, Type)      \
  HRESULT Q7730Server::get_##Name(Type*) { \
    notSimulated(#Name);                   \
  }
#define Q7730_REFUSE_INDEXED(Name)              \
  HRESULT Q7730Server::Name(int32_t, double*) { \
    notSimulated(#Name);                        \
  }
Q7730_UNSIMULATED_OPERATIONS(Q7730_REFUSE_START, Q7730_REFUSE_READ, Q7730_REFUSE_INDEXED)
#undef Q7730_REFUSE_START
#undef Q7730_REFUSE_READ
#undef Q7730_REFUSE_INDEXED

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
