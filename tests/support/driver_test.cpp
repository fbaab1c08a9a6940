#include "tests/support/driver_test.h"

#include <cstring>

#include "src/arb/direct_playback.h"
#include "src/core/error_state.h"
#include "src/core/settings.h"
#include "src/log/driver_logs.h"
#include "src/log/statistics.h"
#include "src/measure/last_results.h"
#include "src/server/instrument.h"
#include "src/spectrum/scratch_array.h"
#include "tests/support/trace_compare.h"
#include "tevra.h"

namespace tevra::test {

void resetDriverState() {
  log::traceLog().Close();
  log::reportLog().Close();
  log::debugOutputSwitch().store(0);
  Tevra_CloseViSession();
  server::instrument().reset();
  spectrum::scratchArray().release();
  log::resetStatistics();
  core::resetSettings();
  measure::resetLastResults();
  arb::setDirectPlayback(false);
  core::setComLastError(0);
  core::setPosition(0);
  std::memset(core::errorState().errorText, 0, core::kErrorTextSize);
}

void DriverTest::SetUp() {
  resetDriverState();
  trace_ = dir_.file("trace.txt");
  log::traceLog().Open(trace_.c_str(), log::kNameTruncate, true);
  markTrace();
}

void DriverTest::TearDown() {
  resetDriverState();
}

std::vector<std::string> DriverTest::lines() const {
  return readTraceLines(trace_, mark_);
}

void DriverTest::markTrace() {
  mark_ = traceMark(trace_);
}

}  // namespace tevra::test
