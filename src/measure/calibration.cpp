// The instrument's self-calibration: started through the server, then polled until it has finished. The
// poll can run quietly, so that a caller may call it in a tight loop without filling the trace log.
#include <cstdint>

#include "src/core/frame.h"
#include "src/server/instrument.h"
#include "tevra.h"

namespace tevra::measure {
namespace {

const core::FrameInfo kCalibrateFrame{"Calibrate", -4962};
const core::FrameInfo kRunningFrame{"CalibrationRunning", -4985};
const core::FrameInfo kQuietRunningFrame{"CalibrationRunning", -4985, log::StatEntry::kNone, false};

}  // namespace
}  // namespace tevra::measure

using namespace tevra;

extern "C" int32_t Tevra_Calibrate(void) {
  return core::framed(measure::kCalibrateFrame,
                      [] { return static_cast<int32_t>(server::at(4960).Calibrate()); });
}

extern "C" int32_t Tevra_CalibrationRunning(int32_t Verbose) {
  return core::framedPoll(measure::kRunningFrame, measure::kQuietRunningFrame, Verbose != 0,
                          [] { return server::at(4983).get_CalibrationRunning() != 0 ? 1 : 0; });
}
