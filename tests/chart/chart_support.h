// Helpers of the chart tests: a trace log in a temporary folder, and a hook that runs code on the GUI
// thread with the next chart window that opens.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "src/chart/chart_gui.h"
#include "src/chart/chart_window.h"
#include "src/log/driver_logs.h"
#include "tests/support/temp_dir.h"
#include "tests/support/trace_compare.h"

namespace tevra::chart::test {

class ChartTraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    trace_ = dir_.file("trace.txt");
    log::traceLog().Open(trace_.c_str(), 0, true);
    mark_ = tevra::test::traceMark(trace_);
  }
  void TearDown() override { log::traceLog().Close(); }
  std::vector<std::string> lines() const { return tevra::test::readTraceLines(trace_, mark_); }

  tevra::test::TempDir dir_;
  std::string trace_;
  uint64_t mark_ = 0;
};

// Makes `call` (an exported chart function) while `atOpen` runs on the GUI thread with the window it opens;
// waits until atOpen has run. Returns the call's result.
inline int32_t withNextWindow(const std::function<void(ChartWindow&)>& atOpen,
                              const std::function<int32_t()>& call) {
  std::promise<void> opened;
  std::future<void> done = opened.get_future();
  setWindowOpenedHookForTest([&](ChartWindow& window) {
    setWindowOpenedHookForTest({});
    atOpen(window);
    opened.set_value();
  });
  const int32_t result = call();
  if (result >= 0) {
    EXPECT_EQ(done.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  }
  setWindowOpenedHookForTest({});
  return result;
}

}  // namespace tevra::chart::test
