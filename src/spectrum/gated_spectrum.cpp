// The gated spectrum of the server: one measurement in one of its span widths, or a 66 MHz trace stitched
// from three adjacent 22 MHz measurements. Every trace index is checked against the point counts the server
// reports, so a measurement that returns fewer points than it announced fails instead of writing past them.
#include <cstdint>
#include <cstring>

#include "platform/com/com_error.h"
#include "src/core/frame.h"
#include "src/core/measurement.h"
#include "src/log/driver_logs.h"
#include "src/server/instrument.h"
#include "tevra.h"

namespace tevra::spectrum {
namespace {

using core::FrameInfo;
using log::StatEntry;
using server::ServerOp;

const FrameInfo kGatedFrames[] = {{"GatedSpectrum", -4519, StatEntry::kGatedSpectrum1},
                                  {"GatedSpectrum", -4519, StatEntry::kGatedSpectrum2},
                                  {"GatedSpectrum", -4519, StatEntry::kGatedSpectrum3}};
const FrameInfo kGatedExFrame{"GatedSpectrumEx", -4931, StatEntry::kGatedSpectrumEx};

constexpr double kSpanHz = 22000000.0;
// The saved settings before they are read: values the restore treats as nothing saved.
constexpr double kNoFrequency = 0.0;
constexpr double kNoPowerRange = 99.0;

int32_t mapWidth(int32_t width) {
  return width == 2 || width == 3 ? width : 1;
}
int32_t mapAveragingStyle(int32_t style) {
  return style == 2 || style == 5 ? style : 1;
}

struct ArrayPositions {
  int32_t get;
  int32_t lock;
  int32_t unlock;
  int32_t destroy;
};

void raiseIfFailed(int32_t position, platform::HRESULT hr) {
  server::setPosition(position);
  if (platform::FAILED(hr)) _com_issue_error(hr);
}

// Copies the first count doubles of a server array to dest (from index offset on). An array that is null,
// not of doubles or shorter than count is refused with code: copying by its own length could overrun.
template <ServerOp kArray>
int32_t copyServerArray(const ArrayPositions& at, double* dest, int32_t offset, int32_t count, int32_t code) {
  platform::SafeArrayHandle array = server::at(at.get).call<kArray>();
  if (array.elementType() != platform::VT_R8 || array.dimensions() != 1 ||
      array.count() < static_cast<uint32_t>(count)) {
    return core::traceFailure(code, "ERR %d,L%d,%s holds %u points, %d expected", code, at.get,
                              server::serverOpName(kArray), array.count(), count);
  }
  raiseIfFailed(at.lock, array.lock());
  std::memcpy(dest + offset, array.data(), sizeof(double) * static_cast<size_t>(count));
  raiseIfFailed(at.unlock, array.unlock());
  raiseIfFailed(at.destroy, array.destroy());
  return 0;
}

int32_t refusePointCount(int32_t code, int32_t position, int32_t points) {
  return core::traceFailure(code, "ERR %d,L%d,GatedSpectrum_NumSpectrumPoints()=%d, no trace to copy", code,
                            position, points);
}

struct GatedArguments {
  int32_t width;
  int32_t averagingStyle;
  int32_t framesUsed;
  int32_t* numPoints;
  double* frequencies;
  double* powers;
  double* bandPower;
};

int32_t gatedSpectrum(const GatedArguments& a) {
  const int32_t code = kGatedFrames[0].failureCode;
  server::at(4415).put_GatedSpectrum_Width(mapWidth(a.width));
  server::at(4450).put_GatedSpectrum_AveragingStyle(mapAveragingStyle(a.averagingStyle));
  server::at(4455).put_FramesUsed(a.framesUsed);
  if (a.bandPower != nullptr) {
    server::at(4458).put_GatedSpectrum_BandPowerEnabled(1);
  } else {
    server::at(4461).put_GatedSpectrum_BandPowerEnabled(0);
  }
  core::startMeasurement<ServerOp::GatedSpectrum_Initiate>(4464);
  const bool overloaded = core::readOverload<ServerOp::get_GatedSpectrum_Overloaded>(4468);
  const int32_t points = server::at(4470).get_GatedSpectrum_NumSpectrumPoints();
  *a.numPoints = points;
  log::traceLog().LogIt("GatedSpectrum_NumSpectrumPoints()=%d", points);
  if (a.bandPower != nullptr) {
    *a.bandPower = server::at(4474).get_GatedSpectrum_BandPower();
    log::traceLog().LogIt("GatedSpectrum_BandPower()=%g", *a.bandPower);
  }
  if (a.frequencies != nullptr && a.powers != nullptr && points > 0) {
    if (const int32_t failed = copyServerArray<ServerOp::get_GatedSpectrum_Frequencies>(
            {4481, 4482, 4492, 4493}, a.frequencies, 0, points, code)) {
      return failed;
    }
    if (const int32_t failed = copyServerArray<ServerOp::get_GatedSpectrum_Powers>(
            {4495, 4496, 4506, 4507}, a.powers, 0, points, code)) {
      return failed;
    }
  }
  return overloaded ? 0 : 1;
}

int32_t runGatedSpectrum(const GatedArguments& a) {
  const FrameInfo& info = kGatedFrames[mapWidth(a.width) - 1];
  core::CallFrame frame(info);
  frame.start("%d,%d,%d", a.width, a.averagingStyle, a.framesUsed);
  return frame.end(frame.guard([&] {
    if (a.numPoints == nullptr) {
      return core::traceFailure(info.failureCode, "ERR %d,null point count for GatedSpectrum()",
                                info.failureCode);
    }
    return gatedSpectrum(a);
  }));
}

// The stitched trace so far: its length and the power kept for the next boundary point.
struct Stitch {
  int32_t* numPoints;
  double* frequencies;
  double* powers;
  bool overloaded = false;
};

// One 22 MHz measurement at fc and range, appended to the trace. The first measurement starts the trace;
// a later one shares its first point with the trace's last, whose power becomes the mean of both in dB.
int32_t measureSpan(Stitch& s, int32_t position, double fcHz, double range, bool first) {
  const int32_t code = kGatedExFrame.failureCode;
  server::at(position).put_Frequency(fcHz);
  server::at(position).put_PowerRange(range);
  server::at(position).GatedSpectrum_Initiate();
  core::waitWhileMeasurementBusy();
  const bool overloaded = core::readOverload<ServerOp::get_GatedSpectrum_Overloaded>(position);
  const int32_t points = server::at(position).get_GatedSpectrum_NumSpectrumPoints();
  log::traceLog().LogIt("%d MHz: GatedSpectrum_NumSpectrumPoints()=%d, Overloaded=%d",
                        static_cast<int32_t>(fcHz / 1000000.0), points, overloaded ? -1 : 0);
  s.overloaded = s.overloaded || overloaded;
  if (points < 1) return refusePointCount(code, position, points);
  const int32_t offset = first ? 0 : *s.numPoints - 1;
  const double boundary = first ? 0.0 : s.powers[offset];
  const ArrayPositions at{position, position, position, position};
  if (const int32_t failed =
          copyServerArray<ServerOp::get_GatedSpectrum_Frequencies>(at, s.frequencies, offset, points, code)) {
    return failed;
  }
  if (const int32_t failed =
          copyServerArray<ServerOp::get_GatedSpectrum_Powers>(at, s.powers, offset, points, code)) {
    return failed;
  }
  if (!first) s.powers[offset] = (boundary + s.powers[offset]) * 0.5;
  *s.numPoints = offset + points;
  return 0;
}

struct SavedSettings {
  double frequencyHz = kNoFrequency;
  double powerRange = kNoPowerRange;
};

int32_t stitchedSpectrum(const GatedArguments& a, int32_t rangeOffsetDb, const SavedSettings& saved) {
  server::at(4689).put_GatedSpectrum_Width(1);
  server::at(4707).put_GatedSpectrum_AveragingStyle(mapAveragingStyle(a.averagingStyle));
  server::at(4708).put_FramesUsed(a.framesUsed);
  if (a.bandPower != nullptr) {
    server::at(4711).put_GatedSpectrum_BandPowerEnabled(1);
  } else {
    server::at(4714).put_GatedSpectrum_BandPowerEnabled(0);
  }
  Stitch s{a.numPoints, a.frequencies, a.powers};
  const double raised = saved.powerRange + rangeOffsetDb;
  if (const int32_t failed = measureSpan(s, 4749, saved.frequencyHz - kSpanHz, raised, true)) return failed;
  if (const int32_t failed = measureSpan(s, 4754, saved.frequencyHz, saved.powerRange, false)) return failed;
  if (a.bandPower != nullptr) {
    *a.bandPower = server::at(4760).get_GatedSpectrum_BandPower();
    log::traceLog().LogIt("GatedSpectrum_BandPower()=%g", *a.bandPower);
  }
  if (const int32_t failed = measureSpan(s, 4765, saved.frequencyHz + kSpanHz, raised, false)) return failed;
  return s.overloaded ? 0 : 1;
}

// Puts back what the stitched trace changed; a failure here neither changes the result nor is traced.
void restore(const SavedSettings& saved) {
  if (saved.frequencyHz > kNoFrequency) server::at(4935).tryCall<ServerOp::put_Frequency>(saved.frequencyHz);
  if (saved.powerRange < kNoPowerRange) server::at(4936).tryCall<ServerOp::put_PowerRange>(saved.powerRange);
}

}  // namespace
}  // namespace tevra::spectrum

using namespace tevra;

extern "C" int32_t Tevra_GatedSpectrum(int32_t Width, int32_t AveragingStyle, int32_t FramesUsed,
                                       int32_t* NumPoints, double* Frequencies, double* Powers,
                                       double* BandPower) {
  return spectrum::runGatedSpectrum(
      {Width, AveragingStyle, FramesUsed, NumPoints, Frequencies, Powers, BandPower});
}

extern "C" int32_t Tevra_GatedSpectrumEx(int32_t Width, int32_t AveragingStyle, int32_t FramesUsed,
                                         int32_t RangeOffset_dB, int32_t* NumPoints, double* Frequencies,
                                         double* Powers, double* BandPower) {
  const spectrum::GatedArguments arguments{Width,       AveragingStyle, FramesUsed, NumPoints,
                                           Frequencies, Powers,         BandPower};
  core::CallFrame frame(spectrum::kGatedExFrame);
  frame.start("%d,%d,%d,%d dB", Width, AveragingStyle, FramesUsed, RangeOffset_dB);
  spectrum::SavedSettings saved;
  bool redirect = false;
  bool measuring = false;
  int32_t result = frame.guard([&] {
    if (NumPoints == nullptr || (Width == 3 && (Frequencies == nullptr || Powers == nullptr))) {
      const int32_t code = spectrum::kGatedExFrame.failureCode;
      return core::traceFailure(code, "ERR %d,null point count or trace array for GatedSpectrumEx()", code);
    }
    *NumPoints = 0;
    saved.frequencyHz = server::at(4660).get_Frequency();
    saved.powerRange = server::at(4661).get_PowerRange();
    redirect = Width != 3;
    measuring = !redirect;
    return redirect ? 0 : spectrum::stitchedSpectrum(arguments, RangeOffset_dB, saved);
  });
  if (redirect) {
    log::traceLog().LogText(-1, "GatedSpectrumEx() only supports 66MHz, redirect to GatedSpectrum()");
    result = spectrum::runGatedSpectrum(arguments);
    return frame.end(result);
  }
  if (measuring) spectrum::restore(saved);
  return frame.end(result);
}
