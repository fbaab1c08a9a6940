// Waveform files kept by the instrument, deleted through the measurement server.
#include "src/core/frame.h"
#include "src/log/driver_logs.h"
#include "src/server/instrument.h"
#include "tevra.h"

namespace tevra::arb {
namespace {

const core::FrameInfo kDeleteSequenceFrame{"ARB_Delete_Sequence", -4079};
const core::FrameInfo kDeleteSegmentFrame{"ARB_Delete_Segment", -4104};

}  // namespace
}  // namespace tevra::arb

using namespace tevra;

// Its end line names the server operation, as the instrument's tools have always shown it.
extern "C" TEVRA_API int32_t Tevra_ARB_Delete_Sequence(const char* name) {
  core::CallFrame frame(arb::kDeleteSequenceFrame);
  frame.start("%s", core::orEmpty(name));
  const int32_t result =
      frame.guard([&] { return server::at(4077).AWG_DeleteSequence(core::orEmpty(name)); });
  log::traceLog().LogIt("> End of AWG_DeleteSequence(), RetCode = %d", result);
  frame.finish();
  return result;
}

extern "C" TEVRA_API int32_t Tevra_ARB_Delete_Segment(const char* name) {
  core::CallFrame frame(arb::kDeleteSegmentFrame);
  frame.start("%s", core::orEmpty(name));
  return frame.end(frame.guard([&] { return server::at(4101).AWG_DeleteSegment(core::orEmpty(name)); }));
}
