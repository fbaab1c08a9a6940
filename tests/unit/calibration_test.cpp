#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/driver_test.h"
#include "tests/support/fake_server.h"
#include "tevra.h"

namespace tevra::measure {
namespace {

using server::ServerOp;
using Lines = std::vector<std::string>;

class CalibrationTest : public test::DriverTest {};

TEST_F(CalibrationTest, StartAndPollTracedOrQuiet) {
  struct Case {
    const char* what;
    bool session;
    std::function<void(testing::FakeServer&)> script;
    std::function<int32_t()> call;
    int32_t result;
    Lines trace;
  } cases[] = {
      {"calibrate answers S_FALSE",
       true,
       [](testing::FakeServer& f) { f.fails(ServerOp::Calibrate, platform::hr(1)); },
       [] { return Tevra_Calibrate(); },
       1,
       {"> Start Calibrate()", "> End of Calibrate(), RetCode = 1", "* used time: 0 ms *"}},
      {"calibrate without session",
       false,
       nullptr,
       [] { return Tevra_Calibrate(); },
       -4962,
       {"> Start Calibrate()", "ERR -4962,L4960,0x80004003,Invalid pointer",
        "> End of Calibrate(), RetCode = -4962", "* used time: 0 ms *"}},
      {"running, verbose",
       true,
       [](testing::FakeServer& f) { f.returns(ServerOp::get_CalibrationRunning, int16_t{-1}); },
       [] { return Tevra_CalibrationRunning(2); },
       1,
       {"> Start CalibrationRunning()", "> End of CalibrationRunning(), RetCode = 1", "* used time: 0 ms *"}},
      {"finished, quiet",
       true,
       [](testing::FakeServer&) {},
       [] { return Tevra_CalibrationRunning(0); },
       0,
       {}},
      {"quiet without session",
       false,
       nullptr,
       [] { return Tevra_CalibrationRunning(0); },
       -4985,
       {"ERR -4985,L4983,0x80004003,Invalid pointer", "> End of CalibrationRunning(0), RetCode = -4985"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    markTrace();
    std::optional<testing::ScopedFakeInstrument> fake;
    if (c.session) {
      fake.emplace();
      c.script(fake->fake());
    }
    EXPECT_EQ(c.call(), c.result);
    EXPECT_EQ(lines(), c.trace);
  }
}

}  // namespace
}  // namespace tevra::measure
