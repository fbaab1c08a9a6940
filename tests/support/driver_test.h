// The base of tests that drive the library in-process: before and after each test every piece of
// driver-wide state is as a freshly loaded library has it (no trace log, statistics, held settings and
// switches, change mask, last measurement results, direct playback flag, COM last error, position number,
// error text, no server or instrument session, no scratch array), the kernel is the fake one, and the trace
// log writes to a file of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/fake_kernel.h"
#include "tests/support/temp_dir.h"

namespace tevra::test {

void resetDriverState();

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The trace lines written since the last mark (SetUp marks after the start marker).
  std::vector<std::string> lines() const;
  void markTrace();

  FakeKernel kernel_;
  TempDir dir_;
  std::string trace_;
  uint64_t mark_ = 0;
};

}  // namespace tevra::test
