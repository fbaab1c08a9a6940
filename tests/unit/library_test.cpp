#include <gtest/gtest.h>

#include <cstdlib>

#include "src/log/driver_logs.h"
#include "src/session/library.h"
#include "tests/support/driver_test.h"
#include "tests/support/trace_compare.h"

namespace tevra::core {
namespace {

class LibraryTest : public test::DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    setenv("TEVRA_TRACE_FILE", dir_.file("Velkorin.log.txt").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("TEVRA_TRACE_FILE");
    DriverTest::TearDown();
  }
};

TEST_F(LibraryTest, StartUpOpensTheWeeklyTraceAndShutDownClosesItOnlyOnTheLoadingThread) {
  EXPECT_EQ(defaultTraceFile(), dir_.file("Velkorin.log.txt")) << "the environment names the trace file";
  kernel_.setTime(test::localTime(2008, 4, 16));
  libraryStartUp();
  const std::string trace = dir_.file("Velkorin.log.08W16-0413.txt");
  EXPECT_EQ(log::traceLog().fileName(), trace);
  const uint32_t loader = startUpThread();
  ASSERT_NE(loader, 0u);

  kernel_.setThreadId(loader + 1);
  libraryShutDown();
  EXPECT_TRUE(log::traceLog().isOpen()) << "another thread leaves the trace open";
  kernel_.setThreadId(loader);
  libraryShutDown();
  EXPECT_FALSE(log::traceLog().isOpen());
  const std::vector<std::string> closeWithoutSession = {
      "> Start Close()", "ERR 0,** skip Close() due to globallptrInstr is NULL **",
      "> End of Close(), RetCode = 1", "* used time: 0 ms *"};
  std::vector<std::string> expected = {"*** Start of Log ***", kVersionBanner};
  expected.insert(expected.end(), closeWithoutSession.begin(), closeWithoutSession.end());
  expected.push_back("ExitInstance()");
  expected.insert(expected.end(), closeWithoutSession.begin(), closeWithoutSession.end());
  expected.push_back("*** End of Log ***");
  test::expectTraceLines(trace, expected);
  unsetenv("TEVRA_TRACE_FILE");
  EXPECT_EQ(defaultTraceFile(), "/tmp/Velkorin.log.txt");
}

}  // namespace
}  // namespace tevra::core
