// The download manager against the scripted server: which operations each option calls in which order,
// skip-existing without regard to case, a server without a list, a failed delete that does not stop the
// download and a failed load that does.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/driver_test.h"
#include "tests/support/fake_server.h"
#include "tests/support/temp_dir.h"
#include "tevra.h"

namespace tevra::arb {
namespace {

using server::ServerOp;
using DownloadManagerTest = test::DriverTest;

TEST_F(DownloadManagerTest, CallsEachKindsOperationsAndReportsItsFailures) {
  test::TempDir folder;
  test::writeFile(folder.file("a.wf1"), "abcd");
  test::writeFile(folder.file("c.wf1"), "abcd");
  struct Case {
    int option;
    ServerOp list, remove, load;
    testing::Value listed;
    bool deleteFails, loadFails;
    int result;
    std::vector<std::string> calls;
    std::string line;  // a line the trace must hold
  } cases[] = {
      {0x81,
       ServerOp::AWG_LoadedSegmentList,
       ServerOp::AWG_DeleteSegment,
       ServerOp::AWG_LoadSegment,
       std::vector<std::string>{"x.wf1", "A.WF1"},
       false,
       false,
       1,
       {"AWG_LoadedSegmentList", "AWG_LoadSegment"},
       "OK, skip download 'a.wf1' due to existing in Q7730"},
      {0x84,
       ServerOp::AWG_LoadedSegmentNVList,
       ServerOp::AWG_DeleteSegmentNV,
       ServerOp::AWG_LoadSegmentNV,
       testing::NullArray{},
       false,
       false,
       2,
       {"AWG_LoadedSegmentNVList", "AWG_DeleteSegmentNV", "AWG_LoadSegmentNV", "AWG_DeleteSegmentNV",
        "AWG_LoadSegmentNV"},
       "... Try to AWG_DeleteSegmentNV() to delete segment file"},
      {0x05,
       ServerOp::AWG_LoadedMarkerNVList,
       ServerOp::AWG_DeleteMarkerNV,
       ServerOp::AWG_LoadMarkerNV,
       {},
       true,
       false,
       2,
       {"AWG_DeleteMarkerNV", "AWG_LoadMarkerNV", "AWG_DeleteMarkerNV", "AWG_LoadMarkerNV"},
       "ERR -3613,L3610,0x80004005,busy"},
      {0x03,
       ServerOp::AWG_LoadedMarkerList,
       ServerOp::AWG_DeleteMarker,
       ServerOp::AWG_LoadMarker,
       {},
       false,
       true,
       -3628,
       {"AWG_DeleteMarker", "AWG_LoadMarker"},
       "ERR -3628,L3591,0x80004005,busy"},
      {0x80,
       ServerOp::AWG_LoadedSequenceList,
       ServerOp::AWG_DeleteSequence,
       ServerOp::AWG_LoadSequence,
       {},
       false,
       false,
       -3478,
       {},
       "ERR -3478,Incorrect FileTypeOption (0x80)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.option);
    testing::ScopedFakeInstrument fake;
    fake->returns(c.list, c.listed);
    if (c.deleteFails) fake->fails(c.remove, platform::E_FAIL, "busy");
    if (c.loadFails) fake->fails(c.load, platform::E_FAIL, "busy");
    markTrace();
    EXPECT_EQ(Tevra_ARB_DownloadEx(folder.file("*.wf1").c_str(), c.option), c.result);
    EXPECT_EQ(fake->callNames(), c.calls);
    const auto traced = lines();
    EXPECT_NE(std::find(traced.begin(), traced.end(), c.line), traced.end()) << c.line;
  }
}

}  // namespace
}  // namespace tevra::arb
