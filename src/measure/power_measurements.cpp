// Average power, 802.11b carrier suppression and CW frequency offset: one server measurement each, read
// with its overload flag. Result 1 valid, 0 overloaded, negative failure.
#include <cstdint>

#include "src/core/frame.h"
#include "src/core/measurement.h"
#include "src/log/driver_logs.h"
#include "src/measure/measure_common.h"
#include "tevra.h"

namespace tevra::measure {
namespace {

using core::FrameInfo;
using log::StatEntry;
using server::ServerOp;

const FrameInfo kAveragePowerFrame{"Measure_AveragePower", -3162, StatEntry::kAveragePower};
const FrameInfo kCarrierSuppressionFrame{"Measure_CarrierSuppression_dB_11b", -3384,
                                         StatEntry::kCarrierSuppression};
const FrameInfo kCwOffsetFrame{"Measure_CWFrequencyOffset", -5443, StatEntry::kCwFrequencyOffset};

// The output value is preset before the first server call, so a failed start leaves 99 dBm behind.
constexpr double kAveragePowerPreset = 99.0;
// A carrier suppression the server did not give: no suppression at all, which passes no limit.
constexpr double kCarrierSuppressionNotMeasured = 0.0;

int32_t measureAveragePower(double* dBm) {
  *dBm = kAveragePowerPreset;
  core::startMeasurement<ServerOp::AveragePower_Initiate>(3145);
  const bool overloaded = core::readOverload<ServerOp::get_AveragePower_OverLoad>(3155);
  const bool measured = core::readUntested<ServerOp::get_AveragePower_Result>(3159, dBm);
  log::traceLog().LogIt("AveragePower_Result(AvgPow = %g dBm, OverLoad = %d)", *dBm, overloaded ? 1 : 0);
  return verdict(overloaded, {{measured, "average power refused"}});
}

int32_t measureCarrierSuppression(double* dB, bool force) {
  core::startMeasurement<ServerOp::IEEE80211b_CarrierSuppression_Initiate,
                         ServerOp::IEEE80211b_CarrierSuppression_ForceInitiate>(force, 3369, 3365);
  const bool overloaded = core::readOverload<ServerOp::get_IEEE80211b_CarrierSuppression_OverLoad>(3379);
  *dB = kCarrierSuppressionNotMeasured;
  const bool measured = core::readUntested<ServerOp::get_IEEE80211b_CarrierSuppression_Result>(3381, dB);
  log::traceLog().LogIt("get_IEEE80211b_CarrierSuppression_Result(CS = %gdB, OverLoad = %d)", *dB,
                        overloaded ? 1 : 0);
  return verdict(overloaded, {{measured, "carrier suppression refused"}});
}

int32_t measureCwFrequencyOffset(double* hz) {
  core::startMeasurement<ServerOp::CwFrequencyOffset_Initiate>(5431);
  const bool overloaded = core::readOverload<ServerOp::get_CwFrequencyOffset_OverLoad>(5435);
  *hz = server::at(5437).get_CwFrequencyOffset_Result();
  log::traceLog().LogIt("CwFrequencyOffset_Result(FreqOffset = %g Hz, OverLoad = %d)", *hz,
                        overloaded ? 1 : 0);
  return resultValue(!overloaded);
}

}  // namespace
}  // namespace tevra::measure

using namespace tevra;

extern "C" int32_t Tevra_Measure_AveragePower(double* AveragePower_dBm) {
  return core::framed(measure::kAveragePowerFrame, [&] {
    if (AveragePower_dBm == nullptr) return measure::refuseNullOutput(measure::kAveragePowerFrame);
    return measure::measureAveragePower(AveragePower_dBm);
  });
}

extern "C" int32_t Tevra_Measure_CarrierSuppression_dB_11b(double* CarrierSuppression_dB,
                                                           int32_t ForceInitiate) {
  return core::framed(measure::kCarrierSuppressionFrame, [&] {
    if (CarrierSuppression_dB == nullptr) return measure::refuseNullOutput(measure::kCarrierSuppressionFrame);
    return measure::measureCarrierSuppression(CarrierSuppression_dB, ForceInitiate != 0);
  });
}

extern "C" int32_t Tevra_Measure_CWFrequencyOffset(double* FrequencyOffset_Hz) {
  return core::framed(measure::kCwOffsetFrame, [&] {
    if (FrequencyOffset_Hz == nullptr) return measure::refuseNullOutput(measure::kCwOffsetFrame);
    return measure::measureCwFrequencyOffset(FrequencyOffset_Hz);
  });
}
