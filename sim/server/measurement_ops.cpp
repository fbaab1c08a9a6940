// The measurement operations. The simulated instrument has no analyzer model behind them yet, so each
// refuses with E_NOTIMPL and says so, rather than answering a value that was not measured.
#include "sim/server/q7730_server.h"
#include "sim/server/server_failure.h"

namespace tevra::q7730 {
namespace {

[[noreturn]] void notSimulated(const char* operation) {
  failf(platform::E_NOTIMPL, "%s: the simulated instrument does not measure this yet", operation);
}

}  // namespace

HRESULT Q7730Server::get_MeasurementBusy(VARIANT_BOOL* out) {
  *out = variantBool(false);
  return platform::S_OK;
}

HRESULT Q7730Server::AveragePower_Initiate() {
  notSimulated("AveragePower_Initiate");
}
HRESULT Q7730Server::get_AveragePower_OverLoad(VARIANT_BOOL*) {
  notSimulated("AveragePower_OverLoad");
}
HRESULT Q7730Server::get_AveragePower_Result(double*) {
  notSimulated("AveragePower_Result");
}
HRESULT Q7730Server::IEEE80211b_CarrierSuppression_ForceInitiate() {
  notSimulated("IEEE80211b_CarrierSuppression_ForceInitiate");
}
HRESULT Q7730Server::IEEE80211b_CarrierSuppression_Initiate() {
  notSimulated("IEEE80211b_CarrierSuppression_Initiate");
}
HRESULT Q7730Server::get_IEEE80211b_CarrierSuppression_OverLoad(VARIANT_BOOL*) {
  notSimulated("IEEE80211b_CarrierSuppression_OverLoad");
}
HRESULT Q7730Server::get_IEEE80211b_CarrierSuppression_Result(double*) {
  notSimulated("IEEE80211b_CarrierSuppression_Result");
}
HRESULT Q7730Server::CwFrequencyOffset_Initiate() {
  notSimulated("CwFrequencyOffset_Initiate");
}
HRESULT Q7730Server::get_CwFrequencyOffset_OverLoad(VARIANT_BOOL*) {
  notSimulated("CwFrequencyOffset_OverLoad");
}
HRESULT Q7730Server::get_CwFrequencyOffset_Result(double*) {
  notSimulated("CwFrequencyOffset_Result");
}

HRESULT Q7730Server::get_GatedSpectrum_Frequencies(SAFEARRAY**) {
  notSimulated("GatedSpectrum_Frequencies");
}
HRESULT Q7730Server::get_GatedSpectrum_Powers(SAFEARRAY**) {
  notSimulated("GatedSpectrum_Powers");
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
