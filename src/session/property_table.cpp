#include "src/session/property_table.h"

#include <array>

#include "src/core/names.h"

namespace tevra::core {
namespace {

using namespace property;
using Op = server::ServerOp;
using H = HeldSettings;
using S = DriverSwitches;

constexpr std::array<PropertyEntry, kPropertyCount> kProperties{{
    {"CenterFrequency_MHz",
     setHeld<&H::centerFrequencyMHz, kChangeCenterFrequency, Op::put_Frequency, kMegahertz,
             kCenterFrequencyMHz>,
     getHeld<&H::centerFrequencyMHz, Op::get_Frequency, kMegahertz>},
    {"FramesUsed", setInteger<Op::put_FramesUsed>, getNumber<Op::get_FramesUsed>},
    {"AWG_HighPowerMode", setNonZeroAsTrue<Op::put_AWG_HighPowerMode>, getNumber<Op::get_AWG_HighPowerMode>},
    {"MaxPacketLength_s",
     setHeld<&H::maxPacketLengthS, kChangeMaxPacketLength, Op::put_MaxPacketLength, kSameUnit,
             kPacketLengthS>,
     getHeld<&H::maxPacketLengthS, Op::get_MaxPacketLength, kSameUnit>},
    {"MaxSymbolsUsed", setInteger<Op::put_MaxSymbolsUsed>, getNumber<Op::get_MaxSymbolsUsed>},
    {"MeasurementOffset_11ag", setInteger<Op::put_MeasurementOffset11ag>,
     getNumber<Op::get_MeasurementOffset11ag>},
    {"MeasurementOffset_11b", setInteger<Op::put_MeasurementOffset11b>,
     getNumber<Op::get_MeasurementOffset11b>},
    {"MeasurementOffset_11n", setInteger<Op::put_MeasurementOffset11n>,
     getNumber<Op::get_MeasurementOffset11n>},
    {"PowerRange", setHeld<&H::powerRange, kChangePowerRange, Op::put_PowerRange, kSameUnit, kPowerRangeDbm>,
     getHeld<&H::powerRange, Op::get_PowerRange, kSameUnit>},
    {"ShowSplashScreen", setSwitch<&S::showSplashScreen>, getSwitch<&S::showSplashScreen>},
    {"SpectralMask_IncreasedDynamicRange_11b", setBoolean<Op::put_SpectralMaskIncreasedDynamicRange11b>,
     nullptr},
    {"SubcarrierSpacing_KHz_11ag", setDouble<Op::put_SubcarrierSpacing11ag, kKilohertz>,
     getNumber<Op::get_SubcarrierSpacing11ag, kKilohertz>},
    {"TrackPhase", setBoolean<Op::put_TrackPhase>, getNumber<Op::get_TrackPhase>},
    {"TrackTiming", setBoolean<Op::put_TrackTiming>, getNumber<Op::get_TrackTiming>},
    {"TrackAmplitude_11ag", setBoolean<Op::put_TrackAmplitude>, nullptr},
    {"TrackPhase_11ag", setBoolean<Op::put_TrackPhaseOfdm>, nullptr},
    {"TrackTiming_11ag", setBoolean<Op::put_TrackTiming>, nullptr},
    {"TrackPhase_11b", setBoolean<Op::put_TrackPhaseOfdm>, nullptr},
    {"TrackAmplitude_11n", setBoolean<Op::put_TrackAmplitude>, nullptr},
    {"TrackPhase_11n", setBoolean<Op::put_TrackPhaseOfdm>, nullptr},
    {"TrackTiming_11n", setBoolean<Op::put_TrackTiming11n>, nullptr},
    {"TriggerDelay_s",
     setHeld<&H::triggerDelayS, kChangeTriggerDelay, Op::put_TriggerDelay, kSameUnit, kTriggerDelayS>,
     getHeld<&H::triggerDelayS, Op::get_TriggerDelay, kSameUnit>},
    {"TriggerHoldoff_s",
     setHeld<&H::triggerHoldoffS, kChangeTriggerHoldoff, Op::put_TriggerHoldoff, kSameUnit, kTriggerHoldoffS>,
     getHeld<&H::triggerHoldoffS, Op::get_TriggerHoldoff, kSameUnit>},
    {"TriggerLevel_mV",
     setHeld<&H::triggerLevelMV, kChangeTriggerLevel, Op::put_TriggerLevel, kMillivolt, kTriggerLevelMV>,
     getHeld<&H::triggerLevelMV, Op::get_TriggerLevel, kMillivolt>},
    {"TriggerStyle", setTriggerStyle, getTriggerStyle},
    {"UseAlternateSyncSequence", setBoolean<Op::put_UseAlternateSyncSequence>,
     getNumber<Op::get_UseAlternateSyncSequence>},
    {"WindowType", setWindowType, getWindowType},
    {"Demod_LeftGatedPowerTime_s_11b", setDouble<Op::put_DemodLeftGatedPowerTime11b>,
     getNumber<Op::get_DemodLeftGatedPowerTime11b>},
    {"Demod_RightGatedPowerTime_s_11b", setDouble<Op::put_DemodRightGatedPowerTime11b>,
     getNumber<Op::get_DemodRightGatedPowerTime11b>},
    {"Demod_LeftGatedPowerTime_s_11ag", setDouble<Op::put_DemodLeftGatedPowerTime11ag>,
     getNumber<Op::get_DemodLeftGatedPowerTime11ag>},
    {"Demod_RightGatedPowerTime_s_11ag", setDouble<Op::put_DemodRightGatedPowerTime11ag>,
     getNumber<Op::get_DemodRightGatedPowerTime11ag>},
    {"Demod_ReferenceFilterType_11b", setCode<Op::put_DemodReferenceFilterType11b, 2>, nullptr},
    {"EqualizationType_11ag", setOneOrZero<Op::put_EqualizationType11ag>,
     getOneOrZero<Op::get_EqualizationType11ag>},
    {"EqualizationType_11b", setOneOrZero<Op::put_EqualizationType11b>,
     getOneOrZero<Op::get_EqualizationType11b>},
    {"EqualizationType_11n", setOneOrZero<Op::put_EqualizationType11n>, nullptr},
    {"VSA_EqualizationFilterLength_11b", nullptr, nullptr},
    {"VSA_EstimationSeqAndData_11ag", nullptr, nullptr},
    {"VSA_Visible", nullptr, nullptr},
    {"WTA_Visible", nullptr, nullptr},
    {"WTA_MaxPacketLength_11b", nullptr, nullptr},
    {"WTA_PowerRange_11b", nullptr, nullptr},
    {"WTA_TriggerLevel_11b", nullptr, nullptr},
    {"WTA_MaxSymbolsUsed_11ag", nullptr, nullptr},
    {"WTA_PowerRange_11ag", nullptr, nullptr},
    {"WTA_TriggerLevel_11ag", nullptr, nullptr},
    {"API_GatedSpectrum_Width", nullptr, nullptr},
    {"API_GatedSpectrum_AveragingStyle", nullptr, nullptr},
    {"API_GatedSpectrum_NumAverages", nullptr, nullptr},
    {"AutoRange_PowerRange_11ag", nullptr, getNumber<Op::get_AutoRangePowerRange11ag>},
    {"AutoRange_TriggerLevel_mV_11ag", nullptr, getNumber<Op::get_AutoRangeTriggerLevel11ag, kMillivolt>},
    {"AutoRange_MaxPacketLength_s_11ag", nullptr, getNumber<Op::get_AutoRangeMaxPacketLength11ag>},
    {"AutoRange_MaxSymbolsUsed_11ag", nullptr, getNumber<Op::get_AutoRangeMaxSymbolsUsed11ag>},
    {"AutoRange_PowerRange_11b", nullptr, getNumber<Op::get_AutoRangePowerRange11b>},
    {"Autorange_TriggerLevel_mV_11b", nullptr, getNumber<Op::get_AutoRangeTriggerLevel11b, kMillivolt>},
    {"Autorange_MaxPacketLength_s_11b", nullptr, getNumber<Op::get_AutoRangeMaxPacketLength11b>},
    {"AveragePower_ExpectedSignalBandwidth", setCode<Op::put_AveragePowerExpectedSignalBandwidth, 1>,
     nullptr},
    {"LogIt_DebugOutput", setDebugOutput, nullptr},
    {"UseInstrument11bDemod", acceptWithoutEffect, nullptr},
    {"CompensateSidecarLoss", setSwitch<&S::compensateSidecarLoss>, nullptr},
    {"FastMask_11ag", setBoolean<Op::put_FastMask11ag>, getNumber<Op::get_FastMask11ag>},
    {"FastMask_11b", setBoolean<Op::put_FastMask11b>, getNumber<Op::get_FastMask11b>},
    {"FastMask_11n", setBoolean<Op::put_FastMask11n>, getNumber<Op::get_FastMask11n>},
    {"Get_Demod_GatedPower", setSwitch<&S::getDemodGatedPower>, nullptr},
}};

// A row left out would leave a zeroed entry at the end of the array.
constexpr bool everyEntryNamed() {
  for (const PropertyEntry& entry : kProperties) {
    if (entry.name == nullptr) return false;
  }
  return true;
}
static_assert(everyEntryNamed(), "the table has a row for each of its kPropertyCount names");

}  // namespace

std::span<const PropertyEntry, kPropertyCount> propertyTable() {
  return kProperties;
}

const PropertyEntry* findProperty(const char* name) {
  if (name == nullptr) return nullptr;
  for (const PropertyEntry& entry : kProperties) {
    if (sameName(entry.name, name)) return &entry;
  }
  return nullptr;
}

size_t propertyIndex(const PropertyEntry& entry) {
  return static_cast<size_t>(&entry - kProperties.data());
}

}  // namespace tevra::core
