// The measurement operations. The simulated instrument has no analyzer model behind them yet, so each
// refuses with E_NOTIMPL and says so, rather than answering a value that was not measured.
#include "sim/server/q7730_server.h"
#include "sim/server/server_failure.h"

namespace tevra::q7730 {

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

}  // namespace tevra::q7730
