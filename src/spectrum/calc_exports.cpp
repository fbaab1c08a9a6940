// The spectrum calculations on numbers the caller holds: unit conversion, limit line, band powers.
#include <cmath>
#include <cstdint>

#include "src/core/frame.h"
#include "src/core/measurement.h"
#include "src/log/driver_logs.h"
#include "src/spectrum/scratch_array.h"
#include "src/spectrum/trace_judgement.h"
#include "src/spectrum/trace_math.h"
#include "tevra.h"

namespace tevra::spectrum {
namespace {

using core::FrameInfo;

const FrameInfo kLimitLineFrame{"Calc_LimitLine", -6437};
// The band powers trace their own end line; the frame gives the used time and leaves the COM last error.
const FrameInfo kSpectrumBandPowerFrame{"Calc_Spectrum_BandPower", TEVRA_CALC_SPECTRUM_BANDPOWER_REFUSED,
                                        log::StatEntry::kNone, true, false};
const FrameInfo kPsdBandPowerFrame{"Calc_PSD_BandPower", TEVRA_CALC_PSD_BANDPOWER_REFUSED,
                                   log::StatEntry::kNone, true, false};

int32_t limitLine(const Trace& trace, int32_t tableLength, const double* table, const Judgement& given) {
  const int32_t code = kLimitLineFrame.failureCode;
  if (trace.count < 1 || trace.frequencies == nullptr || trace.powers == nullptr) {
    return core::traceFailure(code, "ERR %d,no trace to judge (%d points)", code, trace.count);
  }
  if (!limitTableUsable(table, tableLength)) {
    return core::traceFailure(code, "ERR %d,limit table of %d values is not ascending (offset, level) pairs",
                              code, tableLength);
  }
  const double fc = core::centreFrequencyHz(6363);
  const Peak peak = peakSearch(trace.powers, trace.count);
  log::traceLog().LogIt("PeakPower %g dBm @ index %d", peak.power, peak.index);
  Judgement out = given;
  if (out.limit == nullptr) out.limit = scratchArray().reserve(trace.count);
  if (out.limit == nullptr) return core::traceFailure(code, "ERR %d,out of memory", code);
  return judgeLimitTable(trace, fc, peak.power, table, tableLength, out);
}

bool bandPowerArgumentsUsable(int32_t count, const double* values, const double* out, double bandwidthHz,
                              double rbwHz) {
  return count >= 1 && values != nullptr && out != nullptr && std::isfinite(bandwidthHz) &&
         bandwidthHz > 0.0 && std::isfinite(rbwHz) && rbwHz > 0.0;
}

// Stores a finite band power and traces the end line; a power that is not a number is refused instead.
int32_t deliverBandPower(core::CallFrame& frame, double power, double* out) {
  const int32_t code = frame.info().failureCode;
  if (!std::isfinite(power)) {
    core::traceFailure(code, "ERR %d,band power is not a finite number (%g)", code, power);
    return frame.end(code);
  }
  *out = power;
  log::traceLog().LogIt("> End of %s(), BandPower %g dBm", frame.info().name, power);
  frame.finish();
  return 0;
}

int32_t refuseBandPower(core::CallFrame& frame, int32_t count) {
  const int32_t code = frame.info().failureCode;
  core::traceFailure(code, "ERR %d,no band power of %d points with these arguments", code, count);
  return frame.end(code);
}

}  // namespace
}  // namespace tevra::spectrum

using namespace tevra;

extern "C" double Tevra_Calc_Value(double Value, int32_t ConversionCode) {
  log::traceLog().LogIt("> Start Calc_Value(%g,%d)", Value, ConversionCode);
  const double result = spectrum::convertValue(Value, ConversionCode);
  log::traceLog().LogIt("> End of Calc_Value(), Ret = %g", result);
  return result;
}

extern "C" int32_t Tevra_Calc_LimitLine(int32_t NumPoints, const double* Frequencies, const double* Powers,
                                        int32_t TableLength, const double* LimitTable, double* LimitLine,
                                        double* FailFrequencies, double* FailPowers) {
  return core::framed(spectrum::kLimitLineFrame, [&] {
    return spectrum::limitLine({NumPoints, Frequencies, Powers}, TableLength, LimitTable,
                               {LimitLine, FailFrequencies, FailPowers});
  });
}

extern "C" int32_t Tevra_Calc_Spectrum_BandPower(int32_t NumPoints, const double* Powers, double BandWidth_Hz,
                                                 double ResolutionBandwidth_Hz, double* BandPower) {
  core::CallFrame frame(spectrum::kSpectrumBandPowerFrame);
  frame.start("%d,,%g MHz,%g KHz", NumPoints, BandWidth_Hz * 0.000001, ResolutionBandwidth_Hz * 0.001);
  if (!spectrum::bandPowerArgumentsUsable(NumPoints, Powers, BandPower, BandWidth_Hz,
                                          ResolutionBandwidth_Hz)) {
    return spectrum::refuseBandPower(frame, NumPoints);
  }
  const double power = spectrum::spectrumBandPower(Powers, NumPoints, BandWidth_Hz, ResolutionBandwidth_Hz);
  return spectrum::deliverBandPower(frame, power, BandPower);
}

extern "C" int32_t Tevra_Calc_PSD_BandPower(int32_t NumPoints, const double* PSD, double BandWidth_Hz,
                                            double ResolutionBandwidth_Hz, double Reference_dBmPerHz,
                                            double* BandPower) {
  core::CallFrame frame(spectrum::kPsdBandPowerFrame);
  frame.start("%d,,%g MHz,%g KHz", NumPoints, BandWidth_Hz * 0.000001, ResolutionBandwidth_Hz * 0.001);
  if (!spectrum::bandPowerArgumentsUsable(NumPoints, PSD, BandPower, BandWidth_Hz, ResolutionBandwidth_Hz)) {
    return spectrum::refuseBandPower(frame, NumPoints);
  }
  const double reference = spectrum::psdReferenceLevel(ResolutionBandwidth_Hz, Reference_dBmPerHz);
  log::traceLog().LogIt("ReferenceLevel = %g dBm", reference);
  const double power =
      spectrum::psdBandPower(PSD, NumPoints, BandWidth_Hz, ResolutionBandwidth_Hz, reference);
  return spectrum::deliverBandPower(frame, power, BandPower);
}
