// The server's transmit spectral mask measurements: margin, reference level, the peak power derived from it
// and, on request, the measured spectrum. A margin or reference level the server refused to give is
// reported as kNotMeasured with the result 0 (not valid); a point count beyond TEVRA_SPECTRAL_MASK_POINTS_MAX
// fails the call before any point is written.
#include <cmath>
#include <cstdint>

#include "src/core/frame.h"
#include "src/core/measurement.h"
#include "src/log/driver_logs.h"
#include "src/measure/last_results.h"
#include "src/measure/measure_common.h"
#include "src/server/instrument.h"
#include "tevra.h"

namespace tevra::measure {
namespace {

using core::FrameInfo;
using log::StatEntry;
using server::ServerOp;

const FrameInfo kMask11agFrame{"Measure_SpectralMask_11ag", -3061, StatEntry::kSpectralMask11ag};
const FrameInfo kMask11bFrame{"Measure_SpectralMask_11b", -3122, StatEntry::kSpectralMask11b};
const FrameInfo kMask11nHt20Frame{"Measure_SpectralMask_11n", -8481, StatEntry::kSpectralMask11nHt20};
const FrameInfo kMask11nHt40Frame{"Measure_SpectralMask_11n", -8481, StatEntry::kSpectralMask11nHt40};

// The reference level is the power density of the peak in a 100 kHz bin: the peak power is 50 dB above.
const double kPeakAboveReferenceDb = 10.0 * std::log10(100000.0);
constexpr double kSpan11nHt40Hz = 120000000.0;
constexpr double kSpan11nHt20Hz = 66000000.0;

struct MaskOutputs {
  double* margin;
  double* referenceLevel;
  int32_t* numPoints;
  double* frequencies;
  double* powers;
};

struct MaskPositions {
  int32_t overload;
  int32_t margin;
  int32_t reference;
  int32_t count;
  int32_t frequency;
  int32_t power;
};

struct Mask11a {
  static constexpr ServerOp kOverload = ServerOp::get_IEEE80211a_SpectralMask_OverLoad;
  static constexpr ServerOp kMargin = ServerOp::get_IEEE80211a_SpectralMask_Margin;
  static constexpr ServerOp kReference = ServerOp::get_IEEE80211a_SpectralMask_ReferenceLevelResult;
  static constexpr ServerOp kCount = ServerOp::get_IEEE80211a_SpectralMask_NumSpectrumPoints;
  static constexpr ServerOp kFrequency = ServerOp::IEEE80211a_SpectralMask_SpectrumFrequency;
  static constexpr ServerOp kPower = ServerOp::IEEE80211a_SpectralMask_SpectrumPower;
  static constexpr const char* kMarginText = "IEEE80211a_SpectralMask_Margin()=%f, OverLoad = %d";
  static constexpr const char* kReferenceText = "IEEE80211a_SpectralMask_ReferenceLevelResult() = %f";
  static constexpr const char* kCountText = "IEEE80211a_SpectralMask_NumSpectrumPoints() = %d";
};

struct Mask11b {
  static constexpr ServerOp kOverload = ServerOp::get_IEEE80211b_SpectralMask_OverLoad;
  static constexpr ServerOp kMargin = ServerOp::get_IEEE80211b_SpectralMask_Margin;
  static constexpr ServerOp kReference = ServerOp::get_IEEE80211b_SpectralMask_ReferenceLevelResult;
  static constexpr ServerOp kCount = ServerOp::get_IEEE80211b_SpectralMask_NumSpectrumPoints;
  static constexpr ServerOp kFrequency = ServerOp::IEEE80211b_SpectralMask_SpectrumFrequency;
  static constexpr ServerOp kPower = ServerOp::IEEE80211b_SpectralMask_SpectrumPower;
  static constexpr const char* kMarginText = "IEEE80211b_SpectralMask_Margin()=%f, OverLoad = %d";
  static constexpr const char* kReferenceText = "IEEE80211b_SpectralMask_ReferenceLevelResult()=%f";
  static constexpr const char* kCountText = "IEEE80211b_SpectralMask_NumSpectrumPoints()=%d";
};

struct Mask11n {
  static constexpr ServerOp kOverload = ServerOp::get_IEEE80211n_SpectralMask_OverLoad;
  static constexpr ServerOp kMargin = ServerOp::get_IEEE80211n_SpectralMask_Margin;
  static constexpr ServerOp kReference = ServerOp::get_IEEE80211n_SpectralMask_ReferenceLevelResult;
  static constexpr ServerOp kCount = ServerOp::get_IEEE80211n_SpectralMask_NumSpectrumPoints;
  static constexpr ServerOp kFrequency = ServerOp::IEEE80211n_SpectralMask_SpectrumFrequency;
  static constexpr ServerOp kPower = ServerOp::IEEE80211n_SpectralMask_SpectrumPower;
  static constexpr const char* kMarginText = "IEEE80211n_SpectralMask_Margin()=%f, OverLoad = %d";
  static constexpr const char* kReferenceText = "IEEE80211n_SpectralMask_ReferenceLevelResult() = %f";
  static constexpr const char* kCountText = "IEEE80211n_SpectralMask_NumSpectrumPoints() = %d";
};

// Reads the spectrum points when the caller asked for them; false when the server refused the count.
template <class F>
bool readSpectrum(const FrameInfo& info, const MaskPositions& positions, const MaskOutputs& out,
                  int32_t* failure) {
  if (out.numPoints == nullptr) return true;
  const auto count = server::at(positions.count).tryCall<F::kCount>();
  if (count.failed()) return false;
  log::traceLog().LogIt(F::kCountText, count.value);
  if (count.value < 0 || count.value > TEVRA_SPECTRAL_MASK_POINTS_MAX) {
    *failure = core::traceFailure(info.failureCode, "ERR %d,%d spectrum points, the bound is %d",
                                  info.failureCode, count.value, TEVRA_SPECTRAL_MASK_POINTS_MAX);
    return true;
  }
  *out.numPoints = count.value;
  if (out.frequencies == nullptr || out.powers == nullptr) return true;
  for (int32_t i = 0; i < count.value; ++i) {
    out.frequencies[i] = server::at(positions.frequency).call<F::kFrequency>(i);
    out.powers[i] = server::at(positions.power).call<F::kPower>(i);
  }
  return true;
}

template <class F>
int32_t readMask(const FrameInfo& info, const MaskPositions& positions, const MaskOutputs& out) {
  const bool overloaded = core::readOverload<F::kOverload>(positions.overload);
  const bool hasMargin = core::readUntested<F::kMargin>(positions.margin, out.margin);
  log::traceLog().LogIt(F::kMarginText, *out.margin, overloaded ? 1 : 0);
  const bool hasReference = core::readUntested<F::kReference>(positions.reference, out.referenceLevel);
  log::traceLog().LogIt(F::kReferenceText, *out.referenceLevel);
  const double peakPower = hasReference ? *out.referenceLevel + kPeakAboveReferenceDb : kNotMeasured;
  lastResults().spectralMaskPeakPowerDbm = peakPower;
  log::traceLog().LogIt("PeakPower = %g", peakPower);
  int32_t failure = 0;
  const bool hasCount = readSpectrum<F>(info, positions, out, &failure);
  if (failure != 0) return failure;
  return verdict(overloaded, {{hasMargin, "mask margin refused"},
                              {hasReference, "reference level refused"},
                              {hasCount, "spectrum point count refused"}});
}

// Presets the outputs, so that a failed call leaves values that pass no limit.
void presetOutputs(const MaskOutputs& out) {
  *out.margin = kNotMeasured;
  *out.referenceLevel = kNotMeasured;
  if (out.numPoints != nullptr) *out.numPoints = 0;
}

template <class Measure>
int32_t maskCall(const FrameInfo& info, const MaskOutputs& out, Measure&& measure) {
  if (out.margin == nullptr || out.referenceLevel == nullptr) return refuseNullOutput(info);
  presetOutputs(out);
  return measure();
}

}  // namespace
}  // namespace tevra::measure

using namespace tevra;

extern "C" int32_t Tevra_Measure_SpectralMask_11ag(double* Margin, double* ReferenceLevel, int32_t* NumPoints,
                                                   double* Frequencies, double* Powers,
                                                   int32_t ForceInitiate) {
  using namespace measure;
  const MaskOutputs out{Margin, ReferenceLevel, NumPoints, Frequencies, Powers};
  return core::framed(kMask11agFrame, [&] {
    return maskCall(kMask11agFrame, out, [&] {
      core::startMeasurement<ServerOp::IEEE80211a_SpectralMask_Initiate,
                             ServerOp::IEEE80211a_SpectralMask_ForceInitiate>(ForceInitiate != 0, 3032, 3028);
      return readMask<Mask11a>(kMask11agFrame, {3036, 3038, 3041, 3047, 3052, 3053}, out);
    });
  });
}

extern "C" int32_t Tevra_Measure_SpectralMask_11b(double* Margin, double* ReferenceLevel, int32_t* NumPoints,
                                                  double* Frequencies, double* Powers,
                                                  int32_t ForceInitiate) {
  using namespace measure;
  const MaskOutputs out{Margin, ReferenceLevel, NumPoints, Frequencies, Powers};
  return core::framed(kMask11bFrame, [&] {
    return maskCall(kMask11bFrame, out, [&] {
      core::startMeasurement<ServerOp::IEEE80211b_SpectralMask_Initiate,
                             ServerOp::IEEE80211b_SpectralMask_ForceInitiate>(ForceInitiate != 0, 3094, 3090);
      return readMask<Mask11b>(kMask11bFrame, {3098, 3100, 3103, 3109, 3114, 3115}, out);
    });
  });
}

extern "C" int32_t Tevra_Measure_SpectralMask_11n(double* Margin, double* ReferenceLevel, int32_t* NumPoints,
                                                  double* Frequencies, double* Powers, int32_t HT40) {
  using namespace measure;
  const FrameInfo& info = HT40 != 0 ? kMask11nHt40Frame : kMask11nHt20Frame;
  const MaskOutputs out{Margin, ReferenceLevel, NumPoints, Frequencies, Powers};
  core::CallFrame frame(info);
  frame.start("%s", HT40 != 0 ? "HT40" : "HT20");
  return frame.end(frame.guard([&] {
    return maskCall(info, out, [&] {
      server::at(8450).put_IEEE80211n_SpectralMask_Span(HT40 != 0 ? kSpan11nHt40Hz : kSpan11nHt20Hz);
      core::startMeasurement<ServerOp::IEEE80211n_SpectralMask_Initiate>(8452);
      return readMask<Mask11n>(info, {8456, 8458, 8461, 8467, 8472, 8473}, out);
    });
  }));
}
