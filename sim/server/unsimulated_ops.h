// The measurement operations that need the analyzer's signal model, which the simulated instrument does not
// have yet. Each refuses with E_NOTIMPL and says so, rather than answering a value that was not measured.
//
//   START(Name)          an operation that starts a measurement
//   READ(Name, Type)     a result read with get_Name
//   INDEXED(Name)        a result read by its number: Name(int32_t index, double* out)
#pragma once

#define Q7730_UNSIMULATED_OPERATIONS(START, READ, INDEXED) \
  START(IEEE80211b_Demod_Initiate)                         \
  START(IEEE80211a_Demod_Initiate)                         \
  START(IEEE80211n_Demod_Initiate)                         \
  READ(IEEE80211b_Demod_OverLoad, VARIANT_BOOL)            \
  READ(IEEE80211a_Demod_OverLoad, VARIANT_BOOL)            \
  READ(IEEE80211n_Demod_OverLoad, VARIANT_BOOL)            \
  READ(IEEE80211b_Demod_BurstGood, VARIANT_BOOL)           \
  READ(IEEE80211a_Demod_BurstGood, VARIANT_BOOL)           \
  READ(IEEE80211n_Demod_BurstGood, VARIANT_BOOL)           \
  READ(IEEE80211b_Demod_PeakEVM, double)                   \
  READ(IEEE80211b_Demod_RmsEVM, double)                    \
  READ(IEEE80211a_Demod_RmsEVM, double)                    \
  READ(IEEE80211n_Demod_Chan1EVM, double)                  \
  READ(IEEE80211n_Demod_Chan2EVM, double)                  \
  READ(IEEE80211n_Demod_Stream1EVM, double)                \
  READ(IEEE80211n_Demod_Stream2EVM, double)                \
  READ(IEEE80211b_Demod_FrequencyError, double)            \
  READ(IEEE80211a_Demod_FrequencyError, double)            \
  READ(IEEE80211n_Demod_FrequencyError, double)            \
  READ(IEEE80211b_Demod_IQOffset, double)                  \
  READ(IEEE80211a_Demod_IQOffset, double)                  \
  READ(IEEE80211b_Demod_GatedPower, double)                \
  READ(IEEE80211a_Demod_GatedPower, double)                \
  READ(IEEE80211b_Demod_DataRate, int32_t)                 \
  READ(IEEE80211a_Demod_DataRate, int32_t)                 \
  READ(IEEE80211n_Demod_MCS, int32_t)                      \
  READ(IEEE80211a_Demod_SymClkErr, double)                 \
  READ(IEEE80211a_Demod_IQGainImbal, double)               \
  READ(IEEE80211a_Demod_IQQuadErr, double)                 \
  READ(IEEE80211b_Demod_ChipClkErr, double)                \
  READ(IEEE80211n_Demod_SymClkErr, double)                 \
  READ(IEEE80211n_Demod_Ch1_BurstPower, double)            \
  READ(IEEE80211n_Demod_Ch2_BurstPower, double)            \
  READ(IEEE80211n_Demod_Ch3_BurstPower, double)            \
  READ(IEEE80211n_Demod_Ch4_BurstPower, double)            \
  READ(IEEE80211n_Demod_Ch1_IQGainImbal, double)           \
  READ(IEEE80211n_Demod_Ch2_IQGainImbal, double)           \
  READ(IEEE80211n_Demod_Ch3_IQGainImbal, double)           \
  READ(IEEE80211n_Demod_Ch4_IQGainImbal, double)           \
  READ(IEEE80211n_Demod_Ch1_IQQuadErr, double)             \
  READ(IEEE80211n_Demod_Ch2_IQQuadErr, double)             \
  READ(IEEE80211n_Demod_Ch3_IQQuadErr, double)             \
  READ(IEEE80211n_Demod_Ch4_IQQuadErr, double)             \
  START(IEEE80211b_EVM_ForceInitiate)                      \
  START(IEEE80211b_EVM_Initiate)                           \
  READ(IEEE80211b_EVM_OverLoad, VARIANT_BOOL)              \
  READ(IEEE80211b_EVM_Result, double)                      \
  READ(IEEE80211b_EVM_ModulationFormat, int32_t)           \
  START(IEEE80211b_FrequencyError_Initiate)                \
  READ(IEEE80211b_FrequencyError_OverLoad, VARIANT_BOOL)   \
  READ(IEEE80211b_FrequencyError_Result, double)           \
  START(IEEE80211a_EVM_ForceInitiate)                      \
  START(IEEE80211a_EVM_Initiate)                           \
  READ(IEEE80211a_EVM_OverLoad, VARIANT_BOOL)              \
  READ(IEEE80211a_EVM_Result, double)                      \
  READ(IEEE80211a_EVM_ModulationFormat, int32_t)           \
  START(IEEE80211a_FrequencyError_Initiate)                \
  READ(IEEE80211a_FrequencyError_OverLoad, VARIANT_BOOL)   \
  READ(IEEE80211a_FrequencyError_Result, double)           \
  START(IEEE80211a_CFL_Initiate)                           \
  READ(IEEE80211a_CFL_OverLoad, VARIANT_BOOL)              \
  READ(IEEE80211a_CFL_Result, double)                      \
  START(IEEE80211a_SpectralFlatness_Initiate)              \
  READ(IEEE80211a_SpectralFlatness_OverLoad, VARIANT_BOOL) \
  READ(IEEE80211a_SpectralFlatness_Margin, double)         \
  READ(IEEE80211a_SpectralFlatness_NumResults, int32_t)    \
  INDEXED(IEEE80211a_SpectralFlatness_Result)              \
  START(Calibrate)                                         \
  READ(CalibrationRunning, VARIANT_BOOL)
