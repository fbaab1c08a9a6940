// Files of the instrument's memory through the built server module: a sequence file built by the driver is
// accepted by the instrument, listed, and deleted with the segments.
#include <gtest/gtest.h>

#include <string>

#include "src/log/driver_logs.h"
#include "tests/integration/server_fixture.h"
#include "tevra.h"

namespace tevra::test {
namespace {

class ServerFilesTest : public ServerFixture {
 protected:
  void TearDown() override {
    Tevra_Close();
    ServerFixture::TearDown();
  }
  std::string list(int32_t (*call)(char*, int32_t)) {
    char names[256];
    const int32_t count = call(names, sizeof names);
    std::string text;
    for (const char* name = names; *name != '\0'; name += std::string(name).size() + 1)
      text += name + std::string(";");
    return std::to_string(count) + ":" + text;
  }
};

TEST_F(ServerFilesTest, ListsAndDeletesWhatTheMemoryHolds) {
  TempDir local;
  const int32_t counts[] = {2, 1};
  ASSERT_EQ(Tevra_ARBEx_MakeSequenceFile("a.wf1\0b.wf1\0", counts, local.file("ab.seq").c_str()), 2);
  auto& memory = simulator_->instrument().memory();
  memory.store("a.wf1", std::string(64, '\x10'));
  memory.store("B.wf1", std::string(64, '\x20'));
  memory.store("ab.seq", readFile(local.file("ab.seq")));
  ASSERT_EQ(Tevra_Init(simulator_->resource().c_str(), 0, 0, 0, 0), 0);
  EXPECT_EQ(list(Tevra_ARB_GetLoadedSegmentFileList), "3:a.wf1;B.wf1;CW_TONE.wf1;");
  EXPECT_EQ(list(Tevra_ARB_GetLoadedSequenceFileList), "2:ab.seq;CW_TONE.seq;");
  EXPECT_EQ(Tevra_ARB_Delete_Segment("b.wf1"), 0);
  EXPECT_EQ(Tevra_ARB_Delete_Sequence("ab.seq"), 0);
  EXPECT_EQ(Tevra_ARB_Delete_Segment("missing.wf1"), -4104);
  EXPECT_EQ(list(Tevra_ARB_GetLoadedSegmentFileList), "2:a.wf1;CW_TONE.wf1;");
  EXPECT_EQ(list(Tevra_ARB_GetLoadedSequenceFileList), "1:CW_TONE.seq;");
}

}  // namespace
}  // namespace tevra::test
