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

#define TEVRA_SERVER_OPERATIONS(METHOD, PROPERTY, READONLY)                                       \
  /* session */                                                                                   \
  METHOD(ActivateInstrument, void)                                                                \
  METHOD(Suspend, void)                                                                           \
  METHOD(Dispose, void)                                                                           \
  METHOD(Preset, void)                                                                            \
  METHOD(SelfTest, int32_t)                                                                       \
  READONLY(SerialNumber, Text)                                                                    \
  READONLY(DriverVersion, Text)                                                                   \
  READONLY(FirmwareRevision, Text)                                                                \
  PROPERTY(ResourceAddress, Text)                                                                 \
  PROPERTY(InitOption1, VBool)                                                                    \
  PROPERTY(InitOption2, VBool)                                                                    \
  PROPERTY(ShowSplashScreen, VBool)                                                               \
  PROPERTY(InitOption4, VBool)                                                                    \
  /* analyzer settings held by the driver too */                                                  \
  PROPERTY(Frequency, double)                                                                     \
  PROPERTY(PowerRange, double)                                                                    \
  PROPERTY(MaxPacketLength, double)                                                               \
  PROPERTY(TriggerLevel, double)                                                                  \
  PROPERTY(TriggerStyle, int32_t)                                                                 \
  PROPERTY(TriggerDelay, double)                                                                  \
  PROPERTY(TriggerHoldoff, double)                                                                \
  PROPERTY(WindowType, int32_t)                                                                   \
  /* settings reached by name */                                                                  \
  PROPERTY(UseAlternateSyncSequence, VBool)                                                       \
  PROPERTY(FramesUsed, int32_t)                                                                   \
  PROPERTY(MaxSymbolsUsed, int32_t)                                                               \
  PROPERTY(MeasurementOffset11ag, int32_t)                                                        \
  PROPERTY(MeasurementOffset11b, int32_t)                                                         \
  PROPERTY(MeasurementOffset11n, int32_t)                                                         \
  PROPERTY(SubcarrierSpacing11ag, double)                                                         \
  PROPERTY(DemodLeftGatedPowerTime11b, double)                                                    \
  PROPERTY(DemodRightGatedPowerTime11b, double)                                                   \
  PROPERTY(DemodLeftGatedPowerTime11ag, double)                                                   \
  PROPERTY(DemodRightGatedPowerTime11ag, double)                                                  \
  PROPERTY(EqualizationType11ag, int32_t)                                                         \
  PROPERTY(EqualizationType11b, int32_t)                                                          \
  PROPERTY(EqualizationType11n, int32_t)                                                          \
  PROPERTY(AWG_HighPowerMode, VBool)                                                              \
  PROPERTY(AveragePowerExpectedSignalBandwidth, int32_t)                                          \
  PROPERTY(DemodReferenceFilterType11b, int32_t)                                                  \
  PROPERTY(SpectralMaskIncreasedDynamicRange11b, VBool)                                           \
  PROPERTY(TrackPhase, VBool)                                                                     \
  PROPERTY(TrackTiming, VBool)                                                                    \
  PROPERTY(TrackTiming11n, VBool)                                                                 \
  PROPERTY(TrackAmplitude, VBool)                                                                 \
  PROPERTY(TrackPhaseOfdm, VBool)                                                                 \
  PROPERTY(FastMask11ag, VBool)                                                                   \
  PROPERTY(FastMask11b, VBool)                                                                    \
  PROPERTY(FastMask11n, VBool)                                                                    \
  /* findings of the server's auto-ranging */                                                     \
  READONLY(AutoRangePowerRange11ag, double)                                                       \
  READONLY(AutoRangeTriggerLevel11ag, double)                                                     \
  READONLY(AutoRangeMaxPacketLength11ag, double)                                                  \
  READONLY(AutoRangeMaxSymbolsUsed11ag, int32_t)                                                  \
  READONLY(AutoRangePowerRange11b, double)                                                        \
  READONLY(AutoRangeTriggerLevel11b, double)                                                      \
  READONLY(AutoRangeMaxPacketLength11b, double)                                                   \
  /* measurements: busy flag shared by all, power and carrier */                                  \
  READONLY(MeasurementBusy, VBool)                                                                \
  METHOD(AveragePower_Initiate, void)                                                             \
  READONLY(AveragePower_OverLoad, VBool)                                                          \
  READONLY(AveragePower_Result, double)                                                           \
  METHOD(IEEE80211b_CarrierSuppression_ForceInitiate, void)                                       \
  METHOD(IEEE80211b_CarrierSuppression_Initiate, void)                                            \
  READONLY(IEEE80211b_CarrierSuppression_OverLoad, VBool)                                         \
  READONLY(IEEE80211b_CarrierSuppression_Result, double)                                          \
  METHOD(CwFrequencyOffset_Initiate, void)                                                        \
  READONLY(CwFrequencyOffset_OverLoad, VBool)                                                     \
  READONLY(CwFrequencyOffset_Result, double)                                                      \
  /* measurements: analyzer set-up, demodulation, composite, masks, extra results, calibration */ \
  PROPERTY(MirrorFrequency, VBool)                                                                \
  METHOD(SetBluetoothMode, void)                                                                  \
  METHOD(SetWlanMode, void)                                                                       \
  PROPERTY(IEEE80211b_Demod_GatedPowerEnable, VBool)                                              \
  PROPERTY(IEEE80211a_Demod_GatedPowerEnable, VBool)                                              \
  PROPERTY(IEEE80211a_Demod_Turbo, int32_t)                                                       \
  PROPERTY(IEEE80211n_Demod_NumChannels, int32_t)                                                 \
  PROPERTY(IEEE80211n_Demod_HT40, int32_t)                                                        \
  PROPERTY(IEEE80211n_Demod_GI, int32_t)                                                          \
  METHOD(IEEE80211b_Demod_Initiate, void)                                                         \
  METHOD(IEEE80211a_Demod_Initiate, void)                                                         \
  METHOD(IEEE80211n_Demod_Initiate, void)                                                         \
  READONLY(IEEE80211b_Demod_OverLoad, VBool)                                                      \
  READONLY(IEEE80211a_Demod_OverLoad, VBool)                                                      \
  READONLY(IEEE80211n_Demod_OverLoad, VBool)                                                      \
  READONLY(IEEE80211b_Demod_BurstGood, VBool)                                                     \
  READONLY(IEEE80211a_Demod_BurstGood, VBool)                                                     \
  READONLY(IEEE80211n_Demod_BurstGood, VBool)                                                     \
  READONLY(IEEE80211b_Demod_PeakEVM, double)                                                      \
  READONLY(IEEE80211b_Demod_RmsEVM, double)                                                       \
  READONLY(IEEE80211a_Demod_RmsEVM, double)                                                       \
  READONLY(IEEE80211n_Demod_Chan1EVM, double)                                                     \
  READONLY(IEEE80211n_Demod_Chan2EVM, double)                                                     \
  READONLY(IEEE80211n_Demod_Stream1EVM, double)                                                   \
  READONLY(IEEE80211n_Demod_Stream2EVM, double)                                                   \
  READONLY(IEEE80211b_Demod_FrequencyError, double)                                               \
  READONLY(IEEE80211a_Demod_FrequencyError, double)                                               \
  READONLY(IEEE80211n_Demod_FrequencyError, double)                                               \
  READONLY(IEEE80211b_Demod_IQOffset, double)                                                     \
  READONLY(IEEE80211a_Demod_IQOffset, double)                                                     \
  READONLY(IEEE80211b_Demod_GatedPower, double)                                                   \
  READONLY(IEEE80211a_Demod_GatedPower, double)                                                   \
  READONLY(IEEE80211b_Demod_DataRate, int32_t)                                                    \
  READONLY(IEEE80211a_Demod_DataRate, int32_t)                                                    \
  READONLY(IEEE80211n_Demod_MCS, int32_t)                                                         \
  READONLY(IEEE80211a_Demod_SymClkErr, double)                                                    \
  READONLY(IEEE80211a_Demod_IQGainImbal, double)                                                  \
  READONLY(IEEE80211a_Demod_IQQuadErr, double)                                                    \
  READONLY(IEEE80211b_Demod_ChipClkErr, double)                                                   \
  READONLY(IEEE80211n_Demod_SymClkErr, double)                                                    \
  READONLY(IEEE80211n_Demod_Ch1_BurstPower, double)                                               \
  READONLY(IEEE80211n_Demod_Ch2_BurstPower, double)                                               \
  READONLY(IEEE80211n_Demod_Ch3_BurstPower, double)                                               \
  READONLY(IEEE80211n_Demod_Ch4_BurstPower, double)                                               \
  READONLY(IEEE80211n_Demod_Ch1_IQGainImbal, double)                                              \
  READONLY(IEEE80211n_Demod_Ch2_IQGainImbal, double)                                              \
  READONLY(IEEE80211n_Demod_Ch3_IQGainImbal, double)                                              \
  READONLY(IEEE80211n_Demod_Ch4_IQGainImbal, double)                                              \
  READONLY(IEEE80211n_Demod_Ch1_IQQuadErr, double)                                                \
  READONLY(IEEE80211n_Demod_Ch2_IQQuadErr, double)                                                \
  READONLY(IEEE80211n_Demod_Ch3_IQQuadErr, double)                                                \
  READONLY(IEEE80211n_Demod_Ch4_IQQuadErr, double)                                                \
  METHOD(IEEE80211b_EVM_ForceInitiate, void)                                                      \
  METHOD(IEEE80211b_EVM_Initiate, void)                                                           \
  READONLY(IEEE80211b_EVM_OverLoad, VBool)                                                        \
  READONLY(IEEE80211b_EVM_Result, double)                                                         \
  READONLY(IEEE80211b_EVM_ModulationFormat, int32_t)                                              \
  METHOD(IEEE80211b_FrequencyError_Initiate, void)                                                \
  READONLY(IEEE80211b_FrequencyError_OverLoad, VBool)                                             \
  READONLY(IEEE80211b_FrequencyError_Result, double)                                              \
  METHOD(IEEE80211a_EVM_ForceInitiate, void)                                                      \
  METHOD(IEEE80211a_EVM_Initiate, void)                                                           \
  READONLY(IEEE80211a_EVM_OverLoad, VBool)                                                        \
  READONLY(IEEE80211a_EVM_Result, double)                                                         \
  READONLY(IEEE80211a_EVM_ModulationFormat, int32_t)                                              \
  METHOD(IEEE80211a_FrequencyError_Initiate, void)                                                \
  READONLY(IEEE80211a_FrequencyError_OverLoad, VBool)                                             \
  READONLY(IEEE80211a_FrequencyError_Result, double)                                              \
  METHOD(IEEE80211a_CFL_Initiate, void)                                                           \
  READONLY(IEEE80211a_CFL_OverLoad, VBool)                                                        \
  READONLY(IEEE80211a_CFL_Result, double)                                                         \
  METHOD(IEEE80211a_SpectralFlatness_Initiate, void)                                              \
  READONLY(IEEE80211a_SpectralFlatness_OverLoad, VBool)                                           \
  READONLY(IEEE80211a_SpectralFlatness_Margin, double)                                            \
  READONLY(IEEE80211a_SpectralFlatness_NumResults, int32_t)                                       \
  METHOD(IEEE80211a_SpectralFlatness_Result, double, int32_t)                                     \
  METHOD(IEEE80211a_SpectralMask_ForceInitiate, void)                                             \
  METHOD(IEEE80211a_SpectralMask_Initiate, void)                                                  \
  READONLY(IEEE80211a_SpectralMask_OverLoad, VBool)                                               \
  READONLY(IEEE80211a_SpectralMask_Margin, double)                                                \
  READONLY(IEEE80211a_SpectralMask_ReferenceLevelResult, double)                                  \
  READONLY(IEEE80211a_SpectralMask_NumSpectrumPoints, int32_t)                                    \
  METHOD(IEEE80211a_SpectralMask_SpectrumFrequency, double, int32_t)                              \
  METHOD(IEEE80211a_SpectralMask_SpectrumPower, double, int32_t)                                  \
  METHOD(IEEE80211b_SpectralMask_ForceInitiate, void)                                             \
  METHOD(IEEE80211b_SpectralMask_Initiate, void)                                                  \
  READONLY(IEEE80211b_SpectralMask_OverLoad, VBool)                                               \
  READONLY(IEEE80211b_SpectralMask_Margin, double)                                                \
  READONLY(IEEE80211b_SpectralMask_ReferenceLevelResult, double)                                  \
  READONLY(IEEE80211b_SpectralMask_NumSpectrumPoints, int32_t)                                    \
  METHOD(IEEE80211b_SpectralMask_SpectrumFrequency, double, int32_t)                              \
  METHOD(IEEE80211b_SpectralMask_SpectrumPower, double, int32_t)                                  \
  PROPERTY(IEEE80211n_SpectralMask_Span, double)                                                  \
  METHOD(IEEE80211n_SpectralMask_Initiate, void)                                                  \
  READONLY(IEEE80211n_SpectralMask_OverLoad, VBool)                                               \
  READONLY(IEEE80211n_SpectralMask_Margin, double)                                                \
  READONLY(IEEE80211n_SpectralMask_ReferenceLevelResult, double)                                  \
  READONLY(IEEE80211n_SpectralMask_NumSpectrumPoints, int32_t)                                    \
  METHOD(IEEE80211n_SpectralMask_SpectrumFrequency, double, int32_t)                              \
  METHOD(IEEE80211n_SpectralMask_SpectrumPower, double, int32_t)                                  \
  METHOD(Calibrate, void)                                                                         \
  READONLY(CalibrationRunning, VBool)                                                             \
  /* gated spectrum */                                                                            \
  PROPERTY(GatedSpectrum_Width, int32_t)                                                          \
  PROPERTY(GatedSpectrum_AveragingStyle, int32_t)                                                 \
  PROPERTY(GatedSpectrum_BandPowerEnabled, int32_t)                                               \
  METHOD(GatedSpectrum_Initiate, void)                                                            \
  READONLY(GatedSpectrum_Overloaded, VBool)                                                       \
  READONLY(GatedSpectrum_NumSpectrumPoints, int32_t)                                              \
  READONLY(GatedSpectrum_BandPower, double)                                                       \
  READONLY(GatedSpectrum_Frequencies, DoubleArray)                                                \
  READONLY(GatedSpectrum_Powers, DoubleArray)                                                     \
  /* auto-ranging: its findings are read above */                                                 \
  METHOD(AutoRange11ag_Initiate, void)                                                            \
  METHOD(AutoRange11b_Initiate, void)                                                             \
  READONLY(AutoRangeBusy, VBool)                                                                  \
  /* RF ports */                                                                                  \
  PROPERTY(PrimaryRFPort, int32_t)                                                                \
  PROPERTY(ReferencePort1, VBool)                                                                 \
  PROPERTY(ReferencePort2, VBool)                                                                 \
  PROPERTY(ReferencePort3, VBool)                                                                 \
  PROPERTY(ReferencePort4, VBool)                                                                 \
  /* waveform generator */                                                                        \
  METHOD(AWG_SelectSequence, void, Text, double, double, int32_t)                                 \
  METHOD(AWG_SelectSequence11ag, void, Text, double, double)                                      \
  METHOD(AWG_SelectSequence11b, void, Text, double, double)                                       \
  METHOD(AWG_PlaySegment, void, Text, double, double, int32_t)                                    \
  METHOD(AWG_PlaySegment11ag, void, Text, double, double)                                         \
  METHOD(AWG_PlaySegment11b, void, Text, double, double)                                          \
  METHOD(AWG_TriggerSequence, void)                                                               \
  METHOD(AWG_CWTone, void, double, double)                                                        \
  METHOD(AWG_AdjustOutput, void, double, double)                                                  \
  METHOD(AWG_FreeSegmentSpace, int32_t)                                                           \
  METHOD(AWG_SourceActive, VBool)                                                                 \
  METHOD(AWG_SequencePlaying, VBool)                                                              \
  METHOD(AWG_Stop, void)                                                                          \
  METHOD(AWG_LoadedSegmentList, TextArray)                                                        \
  METHOD(AWG_LoadedSequenceList, TextArray)                                                       \
  METHOD(AWG_DeleteSegment, int32_t, Text)                                                        \
  METHOD(AWG_DeleteSequence, int32_t, Text)                                                       \
  METHOD(AWG_LoadedMarkerList, TextArray)                                                         \
  METHOD(AWG_LoadedSegmentNVList, TextArray)                                                      \
  METHOD(AWG_LoadedMarkerNVList, TextArray)                                                       \
  METHOD(AWG_DeleteMarker, int32_t, Text)                                                         \
  METHOD(AWG_DeleteSegmentNV, int32_t, Text)                                                      \
  METHOD(AWG_DeleteMarkerNV, int32_t, Text)                                                       \
  METHOD(AWG_LoadSegment, int32_t, Text, Text)                                                    \
  METHOD(AWG_LoadSequence, int32_t, Text, Text)                                                   \
  METHOD(AWG_LoadMarker, int32_t, Text, Text)                                                     \
  METHOD(AWG_LoadSegmentNV, int32_t, Text, Text)                                                  \
  METHOD(AWG_LoadMarkerNV, int32_t, Text, Text)                                                   \
  METHOD(AWG_SaveSegment, int32_t, Text, Text)                                                    \
  METHOD(AWG_SaveMarker, int32_t, Text, Text)                                                     \
  METHOD(AWG_CreateSequenceFile, int32_t)                                                         \
  METHOD(AWG_SequenceFile_AddSegment, int32_t, Text, int32_t)                                     \
  METHOD(AWG_SequenceFile_Save, int32_t, Text)                                                    \
  METHOD(AWG_CreateComplexSequenceFile, int32_t)                                                  \
  METHOD(AWG_ComplexSequenceFile_AddSegment, int32_t, Text, int32_t)                              \
  METHOD(AWG_ComplexSequenceFile_Save, int32_t, Text, Text)
