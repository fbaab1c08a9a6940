// The gated spectrum and the auto-ranging. Their settings are kept as the driver sends them; the traces,
// band power and auto-range findings need the analyzer model, so starting either refuses with E_NOTIMPL and
// says so rather than answering figures that were not measured.
#include "sim/server/q7730_server.h"
#include "sim/server/server_failure.h"

namespace tevra::q7730 {

HRESULT Q7730Server::get_GatedSpectrum_Width(int32_t* out) {
  *out = gatedSpectrum_.width;
  return platform::S_OK;
}
HRESULT Q7730Server::put_GatedSpectrum_Width(int32_t code) {
  if (code < 1 || code > 3) failf(platform::E_INVALIDARG, "GatedSpectrum_Width %d is not 1, 2 or 3", code);
  gatedSpectrum_.width = code;
  return platform::S_OK;
}
HRESULT Q7730Server::get_GatedSpectrum_AveragingStyle(int32_t* out) {
  *out = gatedSpectrum_.averagingStyle;
  return platform::S_OK;
}
HRESULT Q7730Server::put_GatedSpectrum_AveragingStyle(int32_t code) {
  if (code != 1 && code != 2 && code != 5) {
    failf(platform::E_INVALIDARG, "GatedSpectrum_AveragingStyle %d is not 1, 2 or 5", code);
  }
  gatedSpectrum_.averagingStyle = code;
  return platform::S_OK;
}
HRESULT Q7730Server::get_GatedSpectrum_BandPowerEnabled(int32_t* out) {
  *out = gatedSpectrum_.bandPowerEnabled;
  return platform::S_OK;
}
HRESULT Q7730Server::put_GatedSpectrum_BandPowerEnabled(int32_t on) {
  gatedSpectrum_.bandPowerEnabled = on != 0 ? 1 : 0;
  return platform::S_OK;
}

HRESULT Q7730Server::GatedSpectrum_Initiate() {
  notSimulated("GatedSpectrum_Initiate");
}
HRESULT Q7730Server::get_GatedSpectrum_Overloaded(VARIANT_BOOL*) {
  notSimulated("GatedSpectrum_Overloaded");
}
HRESULT Q7730Server::get_GatedSpectrum_NumSpectrumPoints(int32_t*) {
  notSimulated("GatedSpectrum_NumSpectrumPoints");
}
HRESULT Q7730Server::get_GatedSpectrum_BandPower(double*) {
  notSimulated("GatedSpectrum_BandPower");
}
HRESULT Q7730Server::get_GatedSpectrum_Frequencies(SAFEARRAY**) {
  notSimulated("GatedSpectrum_Frequencies");
}
HRESULT Q7730Server::get_GatedSpectrum_Powers(SAFEARRAY**) {
  notSimulated("GatedSpectrum_Powers");
}

HRESULT Q7730Server::AutoRange11ag_Initiate() {
  notSimulated("AutoRange11ag_Initiate");
}
HRESULT Q7730Server::AutoRange11b_Initiate() {
  notSimulated("AutoRange11b_Initiate");
}
HRESULT Q7730Server::get_AutoRangeBusy(VARIANT_BOOL* out) {
  *out = variantBool(false);
  return platform::S_OK;
}

}  // namespace tevra::q7730
