#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/driver_test.h"
#include "tests/support/fake_server.h"
#include "tevra.h"

namespace tevra::arb {
namespace {

using server::ServerOp;
using LoadedFileListsTest = test::DriverTest;

// The buffer never receives more than its size, the final zero included.
TEST_F(LoadedFileListsTest, CopiesTheNamesThatFitAndRefusesOtherArrays) {
  const std::vector<std::string> two = {"a.wf1", "bb.wf1"};
  struct Case {
    bool sequences;
    testing::Value answer;
    int size;
    int result;
    std::string written;
  } cases[] = {
      {false, two, 100, 2, std::string("a.wf1\0bb.wf1\0\0", 14)},
      {false, two, 7, 1, std::string("a.wf1\0\0", 7)},
      {false, two, 6, 0, std::string(1, '\0')},
      {false, std::vector<std::string>{}, 4, 0, std::string(1, '\0')},
      {false, testing::NullArray{}, 4, 0, std::string(1, '\0')},
      {false, two, 0, -5135, ""},
      {false, std::vector<double>{1.0}, 100, -5132, ""},
      {true, std::vector<double>{1.0}, 100, -5185, ""},
      {true, std::vector<std::string>{"s.seq"}, 100, 1, std::string("s.seq\0\0", 7)},
  };
  for (const auto& c : cases) {
    testing::ScopedFakeInstrument fake;
    const ServerOp op = c.sequences ? ServerOp::AWG_LoadedSequenceList : ServerOp::AWG_LoadedSegmentList;
    fake->returns(op, c.answer);
    std::string buffer(16, '#');
    const int result = c.sequences ? Tevra_ARB_GetLoadedSequenceFileList(buffer.data(), c.size)
                                   : Tevra_ARB_GetLoadedSegmentFileList(buffer.data(), c.size);
    EXPECT_EQ(result, c.result) << c.size;
    EXPECT_EQ(buffer, c.written + std::string(16 - c.written.size(), '#')) << c.size;
  }
  testing::ScopedFakeInstrument fake;
  fake->fails(ServerOp::AWG_LoadedSegmentList, platform::E_FAIL, "memory busy");
  char buffer[8];
  markTrace();
  EXPECT_EQ(Tevra_ARB_GetLoadedSegmentFileList(buffer, sizeof buffer), -5135);
  EXPECT_EQ(lines()[1], "ERR -5135,L5104,0x80004005,memory busy");
}

}  // namespace
}  // namespace tevra::arb
