// The gated spectrum and the auto-ranging over the analyzer's SCPI: a start sends the codes as the
// instrument's settings and initiates; the trace is fetched once the measurement has finished and kept
// for the reads that follow; an auto-range's findings are collected when it is seen to have finished.
#include <algorithm>
#include <cmath>
#include <string>

#include "platform/com/safearray.h"
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

namespace {

// Fields of the gated spectrum fetch before its points: centre, start offset, step, resolution bandwidth
// (Hz), overload, band power (dBm), point count.
enum TraceField { kCentre, kStart, kStep, kRbw, kOverload, kBandPower, kCount, kTraceFields };
// Fields of the auto-range fetch: peak (dBm), burst power (dBm), burst length (s), burst found.
enum AutoRangeField { kPeak, kBurstPower, kBurstLength, kAutoRangeFields = 4 };

// The range leaves this much room above the peak; the trigger fires this far below the burst power.
constexpr double kRangeHeadroomDb = 3.0;
constexpr double kTriggerBelowBurstDb = 10.0;
constexpr double kTriggerReferenceV = 0.316;
// The acquisition keeps the burst with the time before the trigger and a little after it.
constexpr double kPacketMarginS = 2e-6;
// An 802.11a/g burst: 20 us of preamble and SIGNAL, then 4 us per symbol.
constexpr double kOfdmPreambleS = 20e-6;
constexpr double kOfdmSymbolS = 4e-6;

const char* averagingName(int32_t style) {
  switch (style) {
    case 2:
      return "LOG";
    case 5:
      return "MAXimum";
    default:
      return "POWer";
  }
}

HRESULT returnDoubles(const std::vector<double>& values, SAFEARRAY** out) {
  platform::SafeArrayPtr array = platform::SafeArrayFromDoubles(values);
  if (!array) fail(platform::E_OUTOFMEMORY, "out of memory");
  *out = array.release();
  return platform::S_OK;
}

}  // namespace

void Q7730Server::startGatedSpectrum(int32_t width, int32_t averagingStyle) {
  const std::string widthCommand = "SENSe:SPECtrum:GATed:WIDTh " + std::to_string(width);
  const std::string typeCommand =
      std::string("SENSe:SPECtrum:GATed:AVERage:TYPE ") + averagingName(averagingStyle);
  const std::string countCommand =
      "SENSe:SPECtrum:GATed:AVERage:COUNt " + std::to_string(settings_.FramesUsed);
  spectrum_.gated.reset();
  spectrum_.mask.reset();
  spectrum_.maskStarted.reset();
  link_.run({widthCommand, typeCommand, countCommand, "INITiate:SPECtrum:GATed"});
}

GatedTrace Q7730Server::fetchGatedTrace() {
  const std::vector<double> f = link_.fetchNumbers("FETCh:SPECtrum:GATed?", kTraceFields);
  const auto count = static_cast<size_t>(std::max(0.0, f[kCount]));
  if (f.size() != kTraceFields + count)
    fail(kInstrumentError, "unexpected Q7730 reply to 'FETCh:SPECtrum:GATed?'");
  GatedTrace trace{f[kCentre], f[kStart], f[kStep], f[kRbw], f[kOverload] != 0, f[kBandPower], {}};
  trace.dbm.assign(f.begin() + kTraceFields, f.end());
  return trace;
}

const GatedTrace& Q7730Server::gatedTrace() {
  if (!spectrum_.gated) spectrum_.gated = fetchGatedTrace();
  return *spectrum_.gated;
}

HRESULT Q7730Server::GatedSpectrum_Initiate() {
  startGatedSpectrum(gatedSpectrum_.width, gatedSpectrum_.averagingStyle);
  spectrum_.bandPowerEnabled = gatedSpectrum_.bandPowerEnabled != 0;
  return platform::S_OK;
}
HRESULT Q7730Server::get_GatedSpectrum_Overloaded(VARIANT_BOOL* out) {
  *out = variantBool(gatedTrace().overload);
  return platform::S_OK;
}
HRESULT Q7730Server::get_GatedSpectrum_NumSpectrumPoints(int32_t* out) {
  *out = static_cast<int32_t>(gatedTrace().dbm.size());
  return platform::S_OK;
}
HRESULT Q7730Server::get_GatedSpectrum_BandPower(double* out) {
  if (!spectrum_.bandPowerEnabled) {
    fail(platform::E_FAIL,
         "GatedSpectrum_BandPower: the band power was not enabled for the last measurement");
  }
  *out = gatedTrace().bandPowerDbm;
  return platform::S_OK;
}
HRESULT Q7730Server::get_GatedSpectrum_Frequencies(SAFEARRAY** out) {
  const GatedTrace& trace = gatedTrace();
  std::vector<double> hz(trace.dbm.size());
  for (size_t i = 0; i < hz.size(); ++i) hz[i] = trace.frequencyHz(i);
  return returnDoubles(hz, out);
}
HRESULT Q7730Server::get_GatedSpectrum_Powers(SAFEARRAY** out) {
  return returnDoubles(gatedTrace().dbm, out);
}

HRESULT Q7730Server::startAutoRange(AutoRangeFindings* findings, bool countSymbols) {
  spectrum_.autoRangePending = nullptr;
  link_.run({"INITiate:AUTorange"});
  spectrum_.autoRangePending = findings;
  spectrum_.autoRangeCountsSymbols = countSymbols;
  return platform::S_OK;
}

// Turns what the instrument saw into settings: a range just above the peak, a trigger level below the
// burst power in volts relative to 316 mV below that range, and an acquisition that holds the burst.
void Q7730Server::settleAutoRange() {
  if (spectrum_.autoRangePending == nullptr) return;
  const std::vector<double> f = link_.fetchNumbers("FETCh:AUTorange?", kAutoRangeFields);
  AutoRangeFindings& found = *spectrum_.autoRangePending;
  spectrum_.autoRangePending = nullptr;
  found.powerRange = std::clamp(std::ceil(f[kPeak] + kRangeHeadroomDb), -50.0, 30.0);
  const double triggerDb = f[kBurstPower] - kTriggerBelowBurstDb - found.powerRange;
  found.triggerLevel = std::clamp(kTriggerReferenceV * std::pow(10.0, triggerDb / 20.0), 0.0, 10.0);
  found.maxPacketLength = std::clamp(f[kBurstLength] + kPacketMarginS, 1e-6, 0.1);
  if (spectrum_.autoRangeCountsSymbols) {
    const double symbols = std::round((f[kBurstLength] - kOfdmPreambleS) / kOfdmSymbolS);
    found.maxSymbolsUsed = static_cast<int32_t>(std::clamp(symbols, 1.0, 1367.0));
  }
}

HRESULT Q7730Server::AutoRange11ag_Initiate() {
  return startAutoRange(&findings11ag_, true);
}
HRESULT Q7730Server::AutoRange11b_Initiate() {
  return startAutoRange(&findings11b_, false);
}
HRESULT Q7730Server::get_AutoRangeBusy(VARIANT_BOOL* out) {
  const bool busy = link_.queryBoolean("STATus:MEASurement:BUSY?");
  link_.checkErrors();
  if (!busy) settleAutoRange();
  *out = variantBool(busy);
  return platform::S_OK;
}

}  // namespace tevra::q7730
