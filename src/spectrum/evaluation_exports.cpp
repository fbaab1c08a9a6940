// The driver's own evaluation of a spectrum trace the caller holds: the 802.11 transmit masks, the
// occupied bandwidth and the 802.11b side lobes.
#include <cmath>
#include <cstdint>

#include "src/core/frame.h"
#include "src/core/measurement.h"
#include "src/log/driver_logs.h"
#include "src/spectrum/scratch_array.h"
#include "src/spectrum/trace_judgement.h"
#include "src/spectrum/trace_math.h"
#include "src/spectrum/trace_search.h"
#include "tevra.h"

namespace tevra::spectrum {
namespace {

using core::FrameInfo;

const FrameInfo kMask11agFrame{"MeasureEx_SpectralMask_11ag", -5556};
const FrameInfo kMask11bFrame{"MeasureEx_SpectralMask_11b", -5617};
const FrameInfo kMask11nFrame{"MeasureEx_SpectralMask_11n", -8613};
const FrameInfo kObwFrame{"MeasureEx_OBW", -5722};
const FrameInfo kSidelobeFrame{"MeasureEx_Sidelobe_11b", -5871};

constexpr double kObwPreset = 99.0;

bool traceGiven(const Trace& trace) {
  return trace.count >= 1 && trace.frequencies != nullptr && trace.powers != nullptr;
}

int32_t refuseTrace(const FrameInfo& info, const Trace& trace) {
  return core::traceFailure(info.failureCode, "ERR %d,no trace to evaluate (%d points)", info.failureCode,
                            trace.count);
}

int32_t evaluateMask(const FrameInfo& info, int32_t position, Mask mask, const Trace& trace,
                     const Judgement& given) {
  if (!traceGiven(trace)) return refuseTrace(info, trace);
  const double fc = core::centreFrequencyHz(position);
  const Peak peak = peakSearch(trace.powers, trace.count);
  log::traceLog().LogIt("PeakPower %g dBm @ index %d", peak.power, peak.index);
  if (!std::isfinite(peak.power)) {
    return core::traceFailure(info.failureCode, "ERR %d,peak power is not a finite number", info.failureCode);
  }
  Judgement out = given;
  if (out.limit == nullptr) out.limit = scratchArray().reserve(trace.count);
  if (out.limit == nullptr)
    return core::traceFailure(info.failureCode, "ERR %d,out of memory", info.failureCode);
  return judgeMask(trace, fc, peak.power, maskRegions(mask), out);
}

int32_t measureObw(const Trace& trace, double percent, double* obwHz) {
  const int32_t code = kObwFrame.failureCode;
  if (!traceGiven(trace)) return refuseTrace(kObwFrame, trace);
  if (!(percent >= 0.0 && percent <= 100.0)) {
    return core::traceFailure(code, "ERR %d,percent %g is outside 0 to 100", code, percent);
  }
  double* linear = scratchArray().reserve(trace.count);
  if (linear == nullptr) return core::traceFailure(code, "ERR %d,out of memory", code);
  const auto obw = occupiedBandwidth(trace, percent, linear);
  if (!obw) return core::traceFailure(code, "ERR %d,the trace holds no measurable power", code);
  *obwHz = *obw;
  return 0;
}

int32_t searchSidelobes(const Trace& trace, double* frequencies, double* powers) {
  const double fc = core::centreFrequencyHz(5758);
  switch (searchLobes(trace, fc, frequencies, powers)) {
    case LobeSearch::kNoLeftSecond:
      return core::traceFailure(-5785, "ERR %d,Cannot find the 2nd sidelobe on the left side", -5785);
    case LobeSearch::kNoLeftFirst:
      return core::traceFailure(-5804, "ERR %d,Cannot find the 1st sidelobe on the left side", -5804);
    case LobeSearch::kNoMain:
      return core::traceFailure(-5823, "ERR %d,Cannot find the mainlobe", -5823);
    case LobeSearch::kFound:
      break;
  }
  log::traceLog().LogIt("Mainlobe %g dBm @ %g Hz, 1st-Sidelobe %g dBm @ %g Hz, 2nd-Sidelobe %g dBm @ %g Hz",
                        powers[0], frequencies[0], powers[1], frequencies[1], powers[2], frequencies[2]);
  powers[1] = powers[0] - powers[1];
  powers[2] = powers[0] - powers[2];
  return 0;
}

}  // namespace
}  // namespace tevra::spectrum

using namespace tevra;

extern "C" int32_t Tevra_MeasureEx_SpectralMask_11ag(int32_t NumPoints, const double* Frequencies,
                                                     const double* Powers, double* LimitLine,
                                                     double* FailFrequencies, double* FailPowers) {
  return core::framed(spectrum::kMask11agFrame, [&] {
    return spectrum::evaluateMask(spectrum::kMask11agFrame, 5509, spectrum::Mask::k11ag,
                                  {NumPoints, Frequencies, Powers}, {LimitLine, FailFrequencies, FailPowers});
  });
}

extern "C" int32_t Tevra_MeasureEx_SpectralMask_11b(int32_t NumPoints, const double* Frequencies,
                                                    const double* Powers, double* LimitLine,
                                                    double* FailFrequencies, double* FailPowers) {
  return core::framed(spectrum::kMask11bFrame, [&] {
    return spectrum::evaluateMask(spectrum::kMask11bFrame, 5585, spectrum::Mask::k11b,
                                  {NumPoints, Frequencies, Powers}, {LimitLine, FailFrequencies, FailPowers});
  });
}

extern "C" int32_t Tevra_MeasureEx_SpectralMask_11n(int32_t NumPoints, const double* Frequencies,
                                                    const double* Powers, double* LimitLine,
                                                    double* FailFrequencies, double* FailPowers,
                                                    int32_t HT40) {
  core::CallFrame frame(spectrum::kMask11nFrame);
  frame.start("%s", HT40 == 0 ? "HT20" : "HT40");
  const auto mask = HT40 == 0 ? spectrum::Mask::k11nHt20 : spectrum::Mask::k11nHt40;
  return frame.end(frame.guard([&] {
    return spectrum::evaluateMask(spectrum::kMask11nFrame, 8516, mask, {NumPoints, Frequencies, Powers},
                                  {LimitLine, FailFrequencies, FailPowers});
  }));
}

extern "C" int32_t Tevra_MeasureEx_OBW(int32_t NumPoints, const double* Frequencies, const double* Powers,
                                       double* OBW_Hz, double Percent) {
  if (OBW_Hz != nullptr) *OBW_Hz = spectrum::kObwPreset;
  core::CallFrame frame(spectrum::kObwFrame);
  frame.start();
  const int32_t result = frame.guard([&] {
    if (OBW_Hz == nullptr) {
      return core::traceFailure(-5722, "ERR %d,null output pointer for MeasureEx_OBW()", -5722);
    }
    return spectrum::measureObw({NumPoints, Frequencies, Powers}, Percent, OBW_Hz);
  });
  return frame.endWithArguments(result, "%g MHz", (OBW_Hz == nullptr ? 0.0 : *OBW_Hz) * 0.000001);
}

extern "C" int32_t Tevra_MeasureEx_Sidelobe_11b(int32_t NumPoints, const double* Frequencies,
                                                const double* Powers, double* LobeFrequencies,
                                                double* LobePowers) {
  return core::framed(spectrum::kSidelobeFrame, [&] {
    const spectrum::Trace trace{NumPoints, Frequencies, Powers};
    const bool pointsMissing = trace.count > 0 && (Frequencies == nullptr || Powers == nullptr);
    if (pointsMissing || trace.count < 0 || LobeFrequencies == nullptr || LobePowers == nullptr) {
      return core::traceFailure(-5871, "ERR %d,null or negative arguments for MeasureEx_Sidelobe_11b()",
                                -5871);
    }
    return spectrum::searchSidelobes(trace, LobeFrequencies, LobePowers);
  });
}
