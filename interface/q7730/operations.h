// The measurement server's operations, each described once. Everything that speaks to the server is
// derived from this list: the operation ids, the driver's typed wrappers, the test fake and the server
// module's dispatch.
//
//   METHOD(Name, Result, Arguments...)   an operation; Result void means it returns only its HRESULT
//   PROPERTY(Name, Type)                 a setting read with get_Name and written with put_Name
//   READONLY(Name, Type)                 a value read with get_Name
//
// Types: int32_t, double, VBool (16-bit boolean), Text (16-bit text), DoubleArray, TextArray.
// Units towards the server: Hz, V, seconds, dBm.
#pragma once

#define TEVRA_SERVER_OPERATIONS(METHOD, PROPERTY, READONLY)       \
  /* session */                                                   \
  METHOD(ActivateInstrument, void)                                \
  METHOD(Suspend, void)                                           \
  METHOD(Dispose, void)                                           \
  METHOD(Preset, void)                                            \
  METHOD(SelfTest, int32_t)                                       \
  READONLY(SerialNumber, Text)                                    \
  READONLY(DriverVersion, Text)                                   \
  READONLY(FirmwareRevision, Text)                                \
  PROPERTY(ResourceAddress, Text)                                 \
  PROPERTY(InitOption1, VBool)                                    \
  PROPERTY(InitOption2, VBool)                                    \
  PROPERTY(ShowSplashScreen, VBool)                               \
  PROPERTY(InitOption4, VBool)                                    \
  /* analyzer settings held by the driver too */                  \
  PROPERTY(Frequency, double)                                     \
  PROPERTY(PowerRange, double)                                    \
  PROPERTY(MaxPacketLength, double)                               \
  PROPERTY(TriggerLevel, double)                                  \
  PROPERTY(TriggerStyle, int32_t)                                 \
  PROPERTY(TriggerDelay, double)                                  \
  PROPERTY(TriggerHoldoff, double)                                \
  PROPERTY(WindowType, int32_t)                                   \
  /* settings reached by name */                                  \
  PROPERTY(UseAlternateSyncSequence, VBool)                       \
  PROPERTY(FramesUsed, int32_t)                                   \
  PROPERTY(MaxSymbolsUsed, int32_t)                               \
  PROPERTY(MeasurementOffset11ag, int32_t)                        \
  PROPERTY(MeasurementOffset11b, int32_t)                         \
  PROPERTY(MeasurementOffset11n, int32_t)                         \
  PROPERTY(SubcarrierSpacing11ag, double)                         \
  PROPERTY(DemodLeftGatedPowerTime11b, double)                    \
  PROPERTY(DemodRightGatedPowerTime11b, double)                   \
  PROPERTY(DemodLeftGatedPowerTime11ag, double)                   \
  PROPERTY(DemodRightGatedPowerTime11ag, double)                  \
  PROPERTY(EqualizationType11ag, int32_t)                         \
  PROPERTY(EqualizationType11b, int32_t)                          \
  PROPERTY(EqualizationType11n, int32_t)                          \
  PROPERTY(AWG_HighPowerMode, VBool)                              \
  PROPERTY(AveragePowerExpectedSignalBandwidth, int32_t)          \
  PROPERTY(DemodReferenceFilterType11b, int32_t)                  \
  PROPERTY(SpectralMaskIncreasedDynamicRange11b, VBool)           \
  PROPERTY(TrackPhase, VBool)                                     \
  PROPERTY(TrackTiming, VBool)                                    \
  PROPERTY(TrackTiming11n, VBool)                                 \
  PROPERTY(TrackAmplitude, VBool)                                 \
  PROPERTY(TrackPhaseOfdm, VBool)                                 \
  PROPERTY(FastMask11ag, VBool)                                   \
  PROPERTY(FastMask11b, VBool)                                    \
  PROPERTY(FastMask11n, VBool)                                    \
  /* findings of the server's auto-ranging */                     \
  READONLY(AutoRangePowerRange11ag, double)                       \
  READONLY(AutoRangeTriggerLevel11ag, double)                     \
  READONLY(AutoRangeMaxPacketLength11ag, double)                  \
  READONLY(AutoRangeMaxSymbolsUsed11ag, int32_t)                  \
  READONLY(AutoRangePowerRange11b, double)                        \
  READONLY(AutoRangeTriggerLevel11b, double)                      \
  READONLY(AutoRangeMaxPacketLength11b, double)                   \
  /* measurements: busy flag shared by all, power and carrier */  \
  READONLY(MeasurementBusy, VBool)                                \
  METHOD(AveragePower_Initiate, void)                             \
  READONLY(AveragePower_OverLoad, VBool)                          \
  READONLY(AveragePower_Result, double)                           \
  METHOD(IEEE80211b_CarrierSuppression_ForceInitiate, void)       \
  METHOD(IEEE80211b_CarrierSuppression_Initiate, void)            \
  READONLY(IEEE80211b_CarrierSuppression_OverLoad, VBool)         \
  READONLY(IEEE80211b_CarrierSuppression_Result, double)          \
  METHOD(CwFrequencyOffset_Initiate, void)                        \
  READONLY(CwFrequencyOffset_OverLoad, VBool)                     \
  READONLY(CwFrequencyOffset_Result, double)                      \
  /* gated spectrum */                                            \
  READONLY(GatedSpectrum_Frequencies, DoubleArray)                \
  READONLY(GatedSpectrum_Powers, DoubleArray)                     \
  /* RF ports */                                                  \
  PROPERTY(PrimaryRFPort, int32_t)                                \
  PROPERTY(ReferencePort1, VBool)                                 \
  PROPERTY(ReferencePort2, VBool)                                 \
  PROPERTY(ReferencePort3, VBool)                                 \
  PROPERTY(ReferencePort4, VBool)                                 \
  /* waveform generator */                                        \
  METHOD(AWG_SelectSequence, void, Text, double, double, int32_t) \
  METHOD(AWG_SelectSequence11ag, void, Text, double, double)      \
  METHOD(AWG_SelectSequence11b, void, Text, double, double)       \
  METHOD(AWG_PlaySegment, void, Text, double, double, int32_t)    \
  METHOD(AWG_PlaySegment11ag, void, Text, double, double)         \
  METHOD(AWG_PlaySegment11b, void, Text, double, double)          \
  METHOD(AWG_TriggerSequence, void)                               \
  METHOD(AWG_CWTone, void, double, double)                        \
  METHOD(AWG_AdjustOutput, void, double, double)                  \
  METHOD(AWG_FreeSegmentSpace, int32_t)                           \
  METHOD(AWG_SourceActive, VBool)                                 \
  METHOD(AWG_SequencePlaying, VBool)                              \
  METHOD(AWG_Stop, void)                                          \
  METHOD(AWG_LoadedSegmentList, TextArray)                        \
  METHOD(AWG_LoadedSequenceList, TextArray)                       \
  METHOD(AWG_DeleteSegment, int32_t, Text)                        \
  METHOD(AWG_DeleteSequence, int32_t, Text)
