// Average power measured over the driver's own instrument session instead of the server: the acquisition
// settings are sent only when they changed since they were last sent, and a setting whose write failed is
// sent again next time.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/kernel/kernel.h"
#include "src/core/frame.h"
#include "src/core/settings.h"
#include "src/log/driver_logs.h"
#include "src/spectrum/scpi_commands.h"
#include "src/visa/direct_io.h"
#include "src/visa/visa_session.h"
#include "tevra.h"

namespace tevra::spectrum {
namespace {

using core::ChangeBit;
using core::FrameInfo;

const FrameInfo kFastPowerFrame{"MeasureEx_AveragePower", -3340};

constexpr double kPowerPreset = 99.0;
constexpr size_t kReplySize = 300;
// The reciprocal of 316 mV, the 0 dB level of the trigger.
constexpr double kPer316mV = 0.0031645569620253164;

const char* triggerSourceName(int32_t serverCode) {
  if (serverCode == 0) return "IMMediate";
  if (serverCode == 4) return "EXTernal";
  return "BURSt";
}

// Writes one formatted setting when its bit is set; the bit is cleared only when the write went through.
// Its status is not examined otherwise: a failed write shows up as a failed read or an instrument error.
void sendSetting(ChangeBit bit, const char* format, auto value) {
  if ((core::settings().changeMask & bit) == 0) return;
  char command[128];
  std::snprintf(command, sizeof command, format, value);
  if (visa::scpiWrite(command) >= 0) core::clearChanged(bit);
}

int32_t sendTriggerLevel() {
  const double mV = core::settings().held.triggerLevelMV;
  if ((core::settings().changeMask & core::kChangeTriggerLevel) == 0) return 0;
  const double dB = 20.0 * std::log10(mV * kPer316mV);
  if (!std::isfinite(dB)) {
    const int32_t code = kFastPowerFrame.failureCode;
    return core::traceFailure(code, "ERR %d,TriggerLevel_mV %g has no level in dB", code, mV);
  }
  char line[128];
  std::snprintf(line, sizeof line, "TriggerLevel_mV is %g mV = %g dB", mV, dB);
  platform::OutputDebugString(line);
  sendSetting(core::kChangeTriggerLevel, scpi::kTriggerLevelFormat, dB);
  return 0;
}

int32_t sendChangedSettings() {
  const core::HeldSettings& held = core::settings().held;
  sendSetting(core::kChangeCenterFrequency, scpi::kFrequencyFormat, held.centerFrequencyMHz * 1000000.0);
  sendSetting(core::kChangePowerRange, scpi::kRangeFormat, held.powerRange);
  sendSetting(core::kChangeMaxPacketLength, scpi::kAcquisitionTimeFormat, held.maxPacketLengthS);
  sendSetting(core::kChangeTriggerStyle, scpi::kTriggerSourceFormat, triggerSourceName(held.triggerStyle));
  if (const int32_t failed = sendTriggerLevel()) return failed;
  sendSetting(core::kChangeTriggerDelay, scpi::kTriggerDelayFormat, held.triggerDelayS);
  sendSetting(core::kChangeTriggerHoldoff, scpi::kTriggerIdleFormat, held.triggerHoldoffS);
  return 0;
}

// The leading decimal number of a reply; false when the reply does not begin with one.
bool leadingNumber(const char* reply, double* value) {
  char* end = nullptr;
  errno = 0;
  const double parsed = std::strtod(reply, &end);
  if (end == reply || errno == ERANGE || !std::isfinite(parsed)) return false;
  *value = parsed;
  return true;
}

bool leadingInteger(const char* reply, long long* value) {
  char* end = nullptr;
  errno = 0;
  const long long parsed = std::strtoll(reply, &end, 10);
  if (end == reply || errno == ERANGE) return false;
  *value = parsed;
  return true;
}

int32_t measureFastPower(double* dBm) {
  const visa::DirectIo io(
      {.position = 3215, .suspend = visa::Suspend::kIfServer, .trace = visa::TraceSuspend::kNever});
  if (const int32_t failed = io.write(-3221, scpi::kClearStatus)) return failed;
  if (const int32_t failed = io.checkErrors(-3228)) return failed;
  if (const int32_t failed = io.write(-3235, scpi::kClearStatus)) return failed;
  io.send({scpi::kBandwidth, scpi::kDecimation});
  if (const int32_t failed = sendChangedSettings()) return failed;
  io.send({scpi::kResultsOff, scpi::kGenericMode, scpi::kResultsOn, scpi::kAveragePowerQuery});
  char reply[kReplySize];
  if (const int32_t failed = io.read(-3312, reply, sizeof reply)) return failed;
  if (!leadingNumber(reply, dBm)) {
    return core::traceFailure(-3312, "ERR %d,the power reply is not a number: %.40s", -3312, reply);
  }
  io.send({scpi::kOverrangeQuery});
  if (const int32_t failed = io.read(-3323, reply, sizeof reply)) return failed;
  long long overrange = 0;
  if (!leadingInteger(reply, &overrange)) {
    return core::traceFailure(-3323, "ERR %d,the overrange reply is not a number: %.40s", -3323, reply);
  }
  if (const int32_t failed = io.checkErrors(-3333)) return failed;
  const auto flag = static_cast<int16_t>(static_cast<uint64_t>(overrange) & 0xFFFFu);
  log::traceLog().LogIt("Result(AvgPow = %g dBm, OverLoad = %d)", *dBm, flag);
  return flag == 0 ? 1 : 0;
}

}  // namespace
}  // namespace tevra::spectrum

using namespace tevra;

extern "C" int32_t Tevra_MeasureEx_AveragePower(double* AveragePower_dBm) {
  return core::framed(spectrum::kFastPowerFrame, [&] {
    if (AveragePower_dBm == nullptr) {
      return core::traceFailure(-3340, "ERR %d,null output pointer for MeasureEx_AveragePower()", -3340);
    }
    *AveragePower_dBm = spectrum::kPowerPreset;
    return spectrum::measureFastPower(AveragePower_dBm);
  });
}
