// The 802.11 spectral mask measurements: a 66 MHz gated spectrum (120 MHz for the 802.11n mask of a 40 MHz
// channel, chosen by IEEE80211n_SpectralMask_Span; power averaged over FramesUsed captures)
// judged by the instrument against the family's mask. The margin is in dB, positive when the spectrum
// stays below the mask; the reference level is the spectrum's peak as a density, in dBm/Hz; the points
// are the trace's, in Hz and dBm.
#include <cmath>
#include <string>

#include "sim/server/q7730_server.h"
#include "sim/server/server_failure.h"

namespace tevra::q7730 {
namespace {

constexpr int32_t kMaskWidthCode = 3;      // the 66 MHz span
constexpr int32_t kWideMaskWidthCode = 4;  // the 120 MHz span
constexpr int32_t kPowerAveraging = 1;
constexpr double kNarrowMaskSpanHz = 66e6;
// Fields of the mask fetch: margin (dB), offset of the least margin (Hz), peak (dBm).
enum MaskField { kMargin, kWorstOffset, kPeak, kMaskFields };

const char* standardName(MaskStandard standard) {
  switch (standard) {
    case MaskStandard::kDsss:
      return "DSSS";
    case MaskStandard::kHt20:
      return "HT20";
    case MaskStandard::kHt40:
      return "HT40";
    case MaskStandard::kOfdm:
      break;
  }
  return "OFDM";
}

size_t pointOf(const GatedTrace& trace, const char* family, int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= trace.dbm.size()) {
    failf(platform::E_INVALIDARG, "%s_SpectralMask: point %d is not one of the %zu points", family, index,
          trace.dbm.size());
  }
  return static_cast<size_t>(index);
}

}  // namespace

MaskStandard Q7730Server::htMaskStandard() const {
  return settings_.IEEE80211n_SpectralMask_Span > kNarrowMaskSpanHz ? MaskStandard::kHt40
                                                                    : MaskStandard::kHt20;
}

HRESULT Q7730Server::startMask(MaskStandard standard) {
  startGatedSpectrum(standard == MaskStandard::kHt40 ? kWideMaskWidthCode : kMaskWidthCode, kPowerAveraging);
  spectrum_.maskStarted = standard;
  return platform::S_OK;
}

const MaskFinding& Q7730Server::maskFinding(MaskStandard standard) {
  if (spectrum_.maskStarted != standard)
    fail(platform::E_FAIL, "no spectral mask measurement of this family was started");
  if (!spectrum_.mask) {
    MaskFinding finding{fetchGatedTrace(), 0, 0};
    const std::vector<double> f =
        link_.fetchNumbers(std::string("FETCh:SPECtrum:GATed:MASK? ") + standardName(standard), kMaskFields);
    finding.marginDb = f[kMargin];
    finding.peakDbm = f[kPeak];
    spectrum_.mask = std::move(finding);
  }
  return *spectrum_.mask;
}

#define Q7730_DEFINE_MASK_FAMILY(Family, standard)                                           \
  HRESULT Q7730Server::Family##_SpectralMask_Initiate() {                                    \
    return startMask(standard);                                                              \
  }                                                                                          \
  HRESULT Q7730Server::get_##Family##_SpectralMask_OverLoad(VARIANT_BOOL* out) {             \
    *out = variantBool(maskFinding(standard).trace.overload);                                \
    return platform::S_OK;                                                                   \
  }                                                                                          \
  HRESULT Q7730Server::get_##Family##_SpectralMask_Margin(double* out) {                     \
    *out = maskFinding(standard).marginDb;                                                   \
    return platform::S_OK;                                                                   \
  }                                                                                          \
  HRESULT Q7730Server::get_##Family##_SpectralMask_ReferenceLevelResult(double* out) {       \
    const MaskFinding& finding = maskFinding(standard);                                      \
    *out = finding.peakDbm - 10.0 * std::log10(finding.trace.rbwHz);                         \
    return platform::S_OK;                                                                   \
  }                                                                                          \
  HRESULT Q7730Server::get_##Family##_SpectralMask_NumSpectrumPoints(int32_t* out) {         \
    *out = static_cast<int32_t>(maskFinding(standard).trace.dbm.size());                     \
    return platform::S_OK;                                                                   \
  }                                                                                          \
  HRESULT Q7730Server::Family##_SpectralMask_SpectrumFrequency(int32_t index, double* out) { \
    const GatedTrace& trace = maskFinding(standard).trace;                                   \
    *out = trace.frequencyHz(pointOf(trace, #Family, index));                                \
    return platform::S_OK;                                                                   \
  }                                                                                          \
  HRESULT Q7730Server::Family##_SpectralMask_SpectrumPower(int32_t index, double* out) {     \
    const GatedTrace& trace = maskFinding(standard).trace;                                   \
    *out = trace.dbm[pointOf(trace, #Family, index)];                                        \
    return platform::S_OK;                                                                   \
  }

Q7730_DEFINE_MASK_FAMILY(IEEE80211a, MaskStandard::kOfdm)
Q7730_DEFINE_MASK_FAMILY(IEEE80211b, MaskStandard::kDsss)
Q7730_DEFINE_MASK_FAMILY(IEEE80211n, htMaskStandard())
#undef Q7730_DEFINE_MASK_FAMILY

// A forced start always takes a new acquisition, as every start of the simulated analyzer does.
HRESULT Q7730Server::IEEE80211a_SpectralMask_ForceInitiate() {
  return startMask(MaskStandard::kOfdm);
}
HRESULT Q7730Server::IEEE80211b_SpectralMask_ForceInitiate() {
  return startMask(MaskStandard::kDsss);
}

}  // namespace tevra::q7730
