// The measurement operations that need the analyzer's signal model, which the simulated instrument does not
// have yet. Each refuses with E_NOTIMPL and says so, rather than answering a value that was not measured.
//
//   START(Name)          an operation that starts a measurement
//   READ(Name, Type)     a result read with get_Name
//   INDEXED(Name)        a result read by its number: Name(int32_t index, double* out)
#pragma once

#define Q7730_UNSIMULATED_OPERATIONS(START, READ, INDEXED)   \
  START(IEEE80211a_SpectralMask_ForceInitiate)               \
  START(IEEE80211a_SpectralMask_Initiate)                    \
  READ(IEEE80211a_SpectralMask_OverLoad, VARIANT_BOOL)       \
  READ(IEEE80211a_SpectralMask_Margin, double)               \
  READ(IEEE80211a_SpectralMask_ReferenceLevelResult, double) \
  READ(IEEE80211a_SpectralMask_NumSpectrumPoints, int32_t)   \
  INDEXED(IEEE80211a_SpectralMask_SpectrumFrequency)         \
  INDEXED(IEEE80211a_SpectralMask_SpectrumPower)             \
  START(IEEE80211b_SpectralMask_ForceInitiate)               \
  START(IEEE80211b_SpectralMask_Initiate)                    \
  READ(IEEE80211b_SpectralMask_OverLoad, VARIANT_BOOL)       \
  READ(IEEE80211b_SpectralMask_Margin, double)               \
  READ(IEEE80211b_SpectralMask_ReferenceLevelResult, double) \
  READ(IEEE80211b_SpectralMask_NumSpectrumPoints, int32_t)   \
  INDEXED(IEEE80211b_SpectralMask_SpectrumFrequency)         \
  INDEXED(IEEE80211b_SpectralMask_SpectrumPower)             \
  START(IEEE80211n_SpectralMask_Initiate)                    \
  READ(IEEE80211n_SpectralMask_OverLoad, VARIANT_BOOL)       \
  READ(IEEE80211n_SpectralMask_Margin, double)               \
  READ(IEEE80211n_SpectralMask_ReferenceLevelResult, double) \
  READ(IEEE80211n_SpectralMask_NumSpectrumPoints, int32_t)   \
  INDEXED(IEEE80211n_SpectralMask_SpectrumFrequency)         \
  INDEXED(IEEE80211n_SpectralMask_SpectrumPower)
