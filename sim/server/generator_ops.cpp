// The waveform generator: sequences started by a trigger, segments played continuously, a CW tone, and
// its state.
#include <algorithm>
#include <cstdio>

#include <string>
#include <vector>

#include "sim/server/q7730_server.h"
#include "sim/server/server_failure.h"

namespace tevra::q7730 {
namespace {

using platform::S_OK;

constexpr double kMinLevelDbm = -150.0;
constexpr double kMaxLevelDbm = 10.0;
constexpr double kMinFrequencyHz = 1e6;
constexpr double kMaxFrequencyHz = 6e9;
constexpr int32_t kMinClockHz = 1000;
constexpr int32_t kMaxClockHz = 200000000;
constexpr int32_t kClock11agHz = 40000000;
constexpr int32_t kClock11bHz = 44000000;
constexpr size_t kMaxNameLength = 128;
constexpr int64_t kOperationPlaying = 0x08;
constexpr int64_t kBytesPerKSamples = 4 * 1024;

void checkOutput(double dBm, double hz) {
  if (!(dBm >= kMinLevelDbm && dBm <= kMaxLevelDbm)) {
    failf(platform::E_INVALIDARG, "output level %g dBm out of range (%g to %g dBm)", dBm, kMinLevelDbm,
          kMaxLevelDbm);
  }
  if (!(hz >= kMinFrequencyHz && hz <= kMaxFrequencyHz)) {
    failf(platform::E_INVALIDARG, "output frequency %g Hz out of range (%g to %g Hz)", hz, kMinFrequencyHz,
          kMaxFrequencyHz);
  }
}

void checkClock(int32_t clockHz) {
  if (clockHz < kMinClockHz || clockHz > kMaxClockHz) {
    failf(platform::E_INVALIDARG, "sample clock %d Hz out of range (%d to %d Hz)", static_cast<int>(clockHz),
          static_cast<int>(kMinClockHz), static_cast<int>(kMaxClockHz));
  }
}

std::string levelCommand(double dBm) {
  char text[64];
  std::snprintf(text, sizeof text, ":SOURce:POWer:LEVel:IMMediate:AMPLitude %.15g", dBm);
  return text;
}

std::string frequencyCommand(double hz) {
  char text[64];
  std::snprintf(text, sizeof text, ":SOURce:FREQuency:FIXed %.15g", hz);
  return text;
}

std::string clockCommand(int32_t clockHz) {
  return ":SOURce:RADio:ARB:CLOCk:SRATe " + std::to_string(clockHz);
}

}  // namespace

std::string waveformName(BSTR name) {
  std::string text = utf8Of(name);
  if (text.empty()) fail(platform::E_INVALIDARG, "no waveform name");
  if (text.size() > kMaxNameLength) {
    failf(platform::E_INVALIDARG, "waveform name longer than %zu characters", kMaxNameLength);
  }
  if (std::any_of(text.begin(), text.end(),
                  [](char c) { return c == '"' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F; })) {
    fail(platform::E_INVALIDARG, "waveform name with a quote or a control character");
  }
  return text;
}

void Q7730Server::startWaveform(const char* kind, BSTR name, double dBm, double hz, int32_t clockHz,
                                Playback playback) {
  const std::string file = waveformName(name);
  checkOutput(dBm, hz);
  checkClock(clockHz);
  // The selection is checked first, so that an unknown waveform leaves the output as it was.
  link_.run({":SOURce:RADio:ARB:WAVEform \"" + std::string(kind) + ":" + file + "\""});
  const bool single = playback == Playback::kSingleRun;
  link_.run({":SOURce:RADio:ARB:STATe OFF", levelCommand(dBm), frequencyCommand(hz), clockCommand(clockHz),
             single ? ":SOURce:RADio:ARB:TRIGger:TYPE SINGle" : ":SOURce:RADio:ARB:TRIGger:TYPE CONTinuous",
             single ? ":SOURce:RADio:ARB:TRIGger:SOURce BUS" : ":SOURce:RADio:ARB:TRIGger:SOURce IMMediate",
             ":SOURce:RADio:ARB:STATe ON", ":OUTPut:MODulation:STATe ON", ":OUTPut:STATe ON"});
}

HRESULT Q7730Server::AWG_SelectSequence(BSTR name, double dBm, double hz, int32_t clockHz) {
  startWaveform("SEQ", name, dBm, hz, clockHz, Playback::kSingleRun);
  return S_OK;
}

HRESULT Q7730Server::AWG_SelectSequence11ag(BSTR name, double dBm, double hz) {
  startWaveform("SEQ", name, dBm, hz, kClock11agHz, Playback::kSingleRun);
  return S_OK;
}

HRESULT Q7730Server::AWG_SelectSequence11b(BSTR name, double dBm, double hz) {
  startWaveform("SEQ", name, dBm, hz, kClock11bHz, Playback::kSingleRun);
  return S_OK;
}

HRESULT Q7730Server::AWG_PlaySegment(BSTR name, double dBm, double hz, int32_t clockHz) {
  startWaveform("WFM1", name, dBm, hz, clockHz, Playback::kContinuous);
  return S_OK;
}

HRESULT Q7730Server::AWG_PlaySegment11ag(BSTR name, double dBm, double hz) {
  startWaveform("WFM1", name, dBm, hz, kClock11agHz, Playback::kContinuous);
  return S_OK;
}

HRESULT Q7730Server::AWG_PlaySegment11b(BSTR name, double dBm, double hz) {
  startWaveform("WFM1", name, dBm, hz, kClock11bHz, Playback::kContinuous);
  return S_OK;
}

HRESULT Q7730Server::AWG_TriggerSequence() {
  link_.run({":SOURce:RADio:ARB:TRIGger:SOFT"});
  return S_OK;
}

HRESULT Q7730Server::AWG_CWTone(double dBm, double hz) {
  checkOutput(dBm, hz);
  link_.run({":SOURce:RADio:ARB:STATe OFF", ":OUTPut:MODulation:STATe OFF", levelCommand(dBm),
             frequencyCommand(hz), ":OUTPut:STATe ON"});
  return S_OK;
}

HRESULT Q7730Server::AWG_AdjustOutput(double dBm, double hz) {
  checkOutput(dBm, hz);
  link_.run({levelCommand(dBm), frequencyCommand(hz)});
  return S_OK;
}

HRESULT Q7730Server::AWG_FreeSegmentSpace(int32_t* kSamples) {
  const int64_t freeBytes = link_.queryInteger("MMEMory:FREE?");
  link_.checkErrors();
  *kSamples = static_cast<int32_t>(std::clamp<int64_t>(freeBytes / kBytesPerKSamples, 0, INT32_MAX));
  return S_OK;
}

HRESULT Q7730Server::AWG_SourceActive(VARIANT_BOOL* out) {
  const bool on = link_.queryBoolean(":OUTPut:STATe?");
  link_.checkErrors();
  *out = variantBool(on);
  return S_OK;
}

HRESULT Q7730Server::AWG_SequencePlaying(VARIANT_BOOL* out) {
  const int64_t condition = link_.queryInteger("STATus:OPERation:CONDition?");
  link_.checkErrors();
  *out = variantBool((condition & kOperationPlaying) != 0);
  return S_OK;
}

HRESULT Q7730Server::AWG_Stop() {
  link_.run({":OUTPut:STATe OFF", ":SOURce:RADio:ARB:STATe OFF"});
  return S_OK;
}

}  // namespace tevra::q7730
