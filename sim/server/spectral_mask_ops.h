// The spectral mask operations of the three 802.11 families, measured on the analyzer's gated spectrum.
//
//   START(Name)          an operation that starts a measurement
//   READ(Name, Type)     a result read with get_Name
//   INDEXED(Name)        a result read by its number: Name(int32_t index, double* out)
#pragma once

#define Q7730_SPECTRAL_MASK_FAMILY(Family, START, READ, INDEXED) \
  START(Family##_SpectralMask_Initiate)                          \
  READ(Family##_SpectralMask_OverLoad, VARIANT_BOOL)             \
  READ(Family##_SpectralMask_Margin, double)                     \
  READ(Family##_SpectralMask_ReferenceLevelResult, double)       \
  READ(Family##_SpectralMask_NumSpectrumPoints, int32_t)         \
  INDEXED(Family##_SpectralMask_SpectrumFrequency)               \
  INDEXED(Family##_SpectralMask_SpectrumPower)

#define Q7730_SPECTRAL_MASK_OPERATIONS(START, READ, INDEXED)   \
  Q7730_SPECTRAL_MASK_FAMILY(IEEE80211a, START, READ, INDEXED) \
  Q7730_SPECTRAL_MASK_FAMILY(IEEE80211b, START, READ, INDEXED) \
  Q7730_SPECTRAL_MASK_FAMILY(IEEE80211n, START, READ, INDEXED) \
  START(IEEE80211a_SpectralMask_ForceInitiate)                 \
  START(IEEE80211b_SpectralMask_ForceInitiate)
