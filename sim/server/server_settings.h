// The settings the server holds: every setting of the instrument interface that is not a port, a
// generator operation or a finding. The analyzer's acquisition settings are also set on the instrument
// (their SCPI header is given); the others are parameters of the server's own measurements.
//
//   NUMBER(Name, Type, initial, lowest, highest, unit, scpiHeader or nullptr)
//   FLAG(Name, initial)
//
// TriggerStyle, whose valid codes are not a range, is held beside them.
#pragma once

#include <cstdint>

#define Q7730_SERVER_SETTINGS(NUMBER, FLAG)                                          \
  FLAG(InitOption1, false)                                                           \
  FLAG(InitOption2, false)                                                           \
  FLAG(ShowSplashScreen, true)                                                       \
  FLAG(InitOption4, false)                                                           \
  NUMBER(Frequency, double, 2.412e9, 1e6, 6e9, "Hz", "SENSe:FREQuency:CENTer")       \
  NUMBER(PowerRange, double, 0.0, -50.0, 30.0, "dBm", "SENSe:POWer:RF:RANGe")        \
  NUMBER(MaxPacketLength, double, 0.00097, 1e-6, 0.1, "s", "SENSe:ACQuisition:TIME") \
  NUMBER(TriggerLevel, double, 0.02, 0.0, 10.0, "V", "TRIGger:SEQuence:LEVel")       \
  NUMBER(TriggerDelay, double, 0.0, -0.1, 0.1, "s", "TRIGger:SEQuence:DELay")        \
  NUMBER(TriggerHoldoff, double, 1e-6, 0.0, 1.0, "s", "TRIGger:SEQuence:HOLDoff")    \
  NUMBER(WindowType, int32_t, 2, 0, 3, "", nullptr)                                  \
  FLAG(UseAlternateSyncSequence, false)                                              \
  NUMBER(FramesUsed, int32_t, 1, 1, 1000, "frames", nullptr)                         \
  NUMBER(MaxSymbolsUsed, int32_t, 1367, 1, 1367, "symbols", nullptr)                 \
  NUMBER(MeasurementOffset11ag, int32_t, 0, 0, 1367, "symbols", nullptr)             \
  NUMBER(MeasurementOffset11b, int32_t, 0, 0, 1000000, "chips", nullptr)             \
  NUMBER(MeasurementOffset11n, int32_t, 0, 0, 1367, "symbols", nullptr)              \
  NUMBER(SubcarrierSpacing11ag, double, 312500.0, 1e3, 1e6, "Hz", nullptr)           \
  NUMBER(DemodLeftGatedPowerTime11b, double, 0.0, 0.0, 0.1, "s", nullptr)            \
  NUMBER(DemodRightGatedPowerTime11b, double, 0.0, 0.0, 0.1, "s", nullptr)           \
  NUMBER(DemodLeftGatedPowerTime11ag, double, 0.0, 0.0, 0.1, "s", nullptr)           \
  NUMBER(DemodRightGatedPowerTime11ag, double, 0.0, 0.0, 0.1, "s", nullptr)          \
  NUMBER(EqualizationType11ag, int32_t, 0, 0, 1, "", nullptr)                        \
  NUMBER(EqualizationType11b, int32_t, 0, 0, 1, "", nullptr)                         \
  NUMBER(EqualizationType11n, int32_t, 0, 0, 1, "", nullptr)                         \
  FLAG(AWG_HighPowerMode, false)                                                     \
  NUMBER(AveragePowerExpectedSignalBandwidth, int32_t, 0, 0, 1, "", nullptr)         \
  NUMBER(DemodReferenceFilterType11b, int32_t, 0, 0, 2, "", nullptr)                 \
  FLAG(SpectralMaskIncreasedDynamicRange11b, false)                                  \
  FLAG(TrackPhase, true)                                                             \
  FLAG(TrackTiming, false)                                                           \
  FLAG(TrackTiming11n, false)                                                        \
  FLAG(TrackAmplitude, false)                                                        \
  FLAG(TrackPhaseOfdm, true)                                                         \
  FLAG(FastMask11ag, false)                                                          \
  FLAG(FastMask11b, false)                                                           \
  FLAG(FastMask11n, false)                                                           \
  FLAG(MirrorFrequency, false)                                                       \
  FLAG(IEEE80211b_Demod_GatedPowerEnable, true)                                      \
  FLAG(IEEE80211a_Demod_GatedPowerEnable, true)                                      \
  NUMBER(IEEE80211a_Demod_Turbo, int32_t, 0, 0, 1, "", nullptr)                      \
  NUMBER(IEEE80211n_Demod_NumChannels, int32_t, 1, 1, 4, "channels", nullptr)        \
  NUMBER(IEEE80211n_Demod_HT40, int32_t, 0, 0, 1, "", nullptr)                       \
  NUMBER(IEEE80211n_Demod_GI, int32_t, 0, 0, 1, "", nullptr)                         \
  NUMBER(IEEE80211n_SpectralMask_Span, double, 66e6, 1e6, 200e6, "Hz", nullptr)

namespace tevra::q7730 {

// Trigger style codes: free-running acquisition, a burst on the signal's level, the external input.
inline constexpr int32_t kTriggerImmediate = 0;
inline constexpr int32_t kTriggerBurst = 2;
inline constexpr int32_t kTriggerExternal = 4;

struct HeldSettings {
#define Q7730_HOLD_NUMBER(Name, Type, initial, ...) Type Name = initial;
#define Q7730_HOLD_FLAG(Name, initial) bool Name = initial;
  Q7730_SERVER_SETTINGS(Q7730_HOLD_NUMBER, Q7730_HOLD_FLAG)
#undef Q7730_HOLD_NUMBER
#undef Q7730_HOLD_FLAG
  int32_t TriggerStyle = kTriggerBurst;
};

// What the server's auto-ranging found; until it has run, the settings' initial values.
struct AutoRangeFindings {
  double powerRange = HeldSettings{}.PowerRange;
  double triggerLevel = HeldSettings{}.TriggerLevel;
  double maxPacketLength = HeldSettings{}.MaxPacketLength;
  int32_t maxSymbolsUsed = HeldSettings{}.MaxSymbolsUsed;
};

}  // namespace tevra::q7730
