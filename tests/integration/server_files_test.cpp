// Files of the instrument's memory through the built server module: downloads of every kind, lists,
// saves back to the local disk, the server's sequence builders, deletes, playback of what was loaded, and
// failures that must leave every file as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "src/log/driver_logs.h"
#include "tests/integration/server_fixture.h"
#include "tests/support/trace_compare.h"
#include "tevra.h"

namespace tevra::test {
namespace {

class ServerFilesTest : public ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    trace_ = traceDir_.file("trace.txt");
    log::traceLog().Open(trace_.c_str(), 0, true);
    writeFile(local_.file("a.wf1"), std::string(64, '\x10'));
    writeFile(local_.file("b.wf1"), std::string("\n\x01\x02#9", 4) + std::string(4000, '\n'));
    writeFile(local_.file("m.mkr"), "\x01\x00\x01\x01");
    const int32_t counts[] = {2, 1};
    ASSERT_EQ(Tevra_ARBEx_MakeSequenceFile("a.wf1\0b.wf1\0", counts, local_.file("ab.seq").c_str()), 2);
    ASSERT_EQ(Tevra_Init(simulator_->resource().c_str(), 0, 0, 0, 0), 0);
    mark_ = traceMark(trace_);
  }
  void TearDown() override {
    Tevra_Close();
    log::traceLog().Close();
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
  std::string stored(const char* volume, const char* name) {
    return simulator_->instrument().memory().volume(volume).load(name);
  }
  bool traced(const std::string& line) {
    const auto lines = readTraceLines(trace_, mark_);
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  TempDir local_;
  TempDir traceDir_;
  std::string trace_;
  uint64_t mark_ = 0;
};

TEST_F(ServerFilesTest, DownloadsEachKindIntoItsVolumeAndSkipsWhatIsLoaded) {
  struct Row {
    int32_t option;
    const char* pattern;
    const char* volume;
    const char* file;
    const char* loadLine;
  };
  const Row rows[] = {
      {1, "*.wf1", "", "b.wf1", "OK, AWG_LoadSegment(%s), nRet = 0"},
      {2, "ab.seq", "", "ab.seq", "OK, AWG_LoadSequence(%s), nRet = 0"},
      {3, "*.mkr", "MKR", "m.mkr", "OK, AWG_LoadMarker(%s), nRet = 0"},
      {4, "b.wf1", "NVWFM", "b.wf1", "OK, AWG_LoadSegmentNV(%s), nRet = 0"},
      {5, "m.mkr", "NVMKR", "m.mkr", "OK, AWG_LoadMarkerNV(%s), nRet = 0"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.option);
    const std::string pattern = local_.file(row.pattern);
    const int32_t expected = row.option == 1 ? 2 : 1;
    EXPECT_EQ(Tevra_ARB_DownloadEx(pattern.c_str(), row.option), expected);
    EXPECT_EQ(stored(row.volume, row.file), readFile(local_.file(row.file))) << "byte for byte";
    char line[512];
    std::snprintf(line, sizeof line, row.loadLine, local_.file(row.file).c_str());
    EXPECT_TRUE(traced(line)) << line;
    mark_ = traceMark(trace_);
    EXPECT_EQ(Tevra_ARB_DownloadEx(pattern.c_str(), row.option | 0x80), 0) << "all are loaded now";
    EXPECT_TRUE(traced("OK, skip download '" + std::string(row.file) + "' due to existing in Q7730"));
  }
  EXPECT_EQ(list(Tevra_ARB_GetLoadedSegmentFileList), "3:a.wf1;b.wf1;CW_TONE.wf1;");
  EXPECT_EQ(list(Tevra_ARB_GetLoadedSequenceFileList), "2:ab.seq;CW_TONE.seq;");
  EXPECT_EQ(Tevra_ARB_DownloadEx(local_.file("*.wf1").c_str(), 0x86), -3478);
  EXPECT_TRUE(traced("ERR -3478,Incorrect FileTypeOption (0x86)"));
  EXPECT_EQ(Tevra_ARB_DownloadEx(local_.file("none*.wf1").c_str(), 1), 0);
  EXPECT_EQ(Tevra_ARB_DownloadEx(local_.path().c_str(), 1), 0) << "the folder itself is a directory";
  writeFile(local_.file("notes"), "n");
  EXPECT_EQ(Tevra_ARB_DownloadEx((local_.path() + "/").c_str(), 0x83), 4) << "*.* finds names without a dot";
}

TEST_F(ServerFilesTest, DownloadsAFolderPlaysItSavesItBackAndDeletesIt) {
  control(":SIMulation:CLOCk:MODE MANual");
  EXPECT_EQ(Tevra_ARB_Download(local_.path().c_str()), 3);
  EXPECT_TRUE(traced("ERR -3562,L3559,0x80040303,Q7730 error -256: File name not found;a.wf1"))
      << "a file the instrument does not hold yet cannot be deleted, and the download goes on";
  EXPECT_EQ(Tevra_ARB_Select_Sequence("ab", -10, 2412, 40), 0);
  EXPECT_EQ(Tevra_ARB_TriggerSequence(), 0);
  EXPECT_EQ(Tevra_ARB_SequencePlaying(1), 1);
  EXPECT_EQ(Tevra_ARB_Stop(0), 0);
  EXPECT_EQ(Tevra_ARB_Play_Segment_11ag("b.wf1", -10, 2412), 0);
  EXPECT_EQ(Tevra_ARB_SourceActive(), 1);
  EXPECT_EQ(Tevra_ARB_Stop(0), 0);

  TempDir saved;
  writeFile(saved.file("b.wf1"), "old");
  control(":SIMulation:FAULt:GLOBal:SPLit 7,4");
  EXPECT_EQ(Tevra_ARB_SaveSegment("B.WF1", saved.file("b.wf1").c_str()), 0);
  EXPECT_EQ(readFile(saved.file("b.wf1")), readFile(local_.file("b.wf1"))) << "a block with newlines inside";
  EXPECT_EQ(readFile(saved.file("b.wf1.bak")), "old");
  ASSERT_EQ(Tevra_ARB_DownloadEx(local_.file("m.mkr").c_str(), 3), 1);
  EXPECT_EQ(Tevra_ARB_SaveMarker("m.mkr", saved.file("m.mkr").c_str()), 0);
  EXPECT_EQ(readFile(saved.file("m.mkr")), readFile(local_.file("m.mkr")));

  EXPECT_EQ(Tevra_ARB_Delete_Segment("b.wf1"), 0);
  EXPECT_EQ(Tevra_ARB_Delete_Sequence("ab.seq"), 0);
  EXPECT_EQ(Tevra_ARB_Delete_Segment("missing.wf1"), -4104);
  EXPECT_EQ(list(Tevra_ARB_GetLoadedSegmentFileList), "2:a.wf1;CW_TONE.wf1;");
  EXPECT_EQ(list(Tevra_ARB_GetLoadedSequenceFileList), "1:CW_TONE.seq;");
}

TEST_F(ServerFilesTest, ServerBuiltSequencesAreReadableAndPlayable) {
  ASSERT_EQ(Tevra_ARB_DownloadEx(local_.file("*.wf1").c_str(), 1), 2);
  EXPECT_EQ(Tevra_ARB_CreateSequenceFile(), 0);
  EXPECT_EQ(Tevra_ARB_SequenceFile_AddSegment("a", 3), 0);
  EXPECT_EQ(Tevra_ARB_SequenceFile_AddSegment("b", 16777215), 0);
  EXPECT_EQ(Tevra_ARB_SequenceFile_AddSegment("b", 16777216), -4254) << "more than its record holds";
  EXPECT_EQ(Tevra_ARB_SequenceFile_Save(local_.file("ab2.seq").c_str()), 0);
  char names[64];
  int32_t counts[32];
  ASSERT_EQ(Tevra_ARBEx_GetSegmentList(local_.file("ab2.seq").c_str(), names, sizeof names, counts), 2);
  EXPECT_EQ(std::string(names, 4), std::string("a\0b\0", 4));
  EXPECT_EQ(counts[0], 3);
  EXPECT_EQ(counts[1], 16777215);

  EXPECT_EQ(Tevra_ARB_CreateComplexSequenceFile(), 0);
  EXPECT_EQ(Tevra_ARB_ComplexSequenceFile_AddSegment("b.wf1", 2), 0);
  EXPECT_EQ(Tevra_ARB_ComplexSequenceFile_Save("cx", local_.file("cx.seq").c_str()), 0);
  EXPECT_EQ(stored("", "cx.seq"), readFile(local_.file("cx.seq")));
  EXPECT_EQ(Tevra_ARB_Select_Sequence("cx", -10, 2412, 40), 0);
}

// Every failure leaves the local files and the instrument's files as they were.
TEST_F(ServerFilesTest, FailuresKeepTheOldFiles) {
  ASSERT_EQ(Tevra_ARB_DownloadEx(local_.file("a.wf1").c_str(), 1), 1);
  const std::string keep = local_.file("keep.wf1");
  writeFile(keep, "old content");
  writeFile(local_.file("odd.wf1"), "odd");
  std::filesystem::create_directory(local_.file("blocked.wf1.bak"));
  writeFile(local_.file("blocked.wf1"), "blocked");
  ASSERT_EQ(Tevra_ARB_CreateSequenceFile(), 0);

  struct Row {
    const char* what;
    int32_t (*call)(const std::string& keep, const std::string& folder);
    int32_t expected;
    const char* errPrefix;
  };
  const Row rows[] = {
      {"a segment the instrument does not hold",
       [](const std::string& k, const std::string&) { return Tevra_ARB_SaveSegment("nope.wf1", k.c_str()); },
       -4178, "ERR -4178,L4176,0x80040303,Q7730 error -256"},
      {"a marker saved over a folder's backup",
       [](const std::string&, const std::string& f) {
         return Tevra_ARB_SaveMarker("m.mkr", (f + "/blocked.wf1").c_str());
       },
       -4212, "ERR -4212,backup("},
      {"an empty sequence list",
       [](const std::string& k, const std::string&) { return Tevra_ARB_SequenceFile_Save(k.c_str()); }, -4279,
       "ERR -4279,L4277,0x80004005,the sequence list is empty"},
      {"a complex sequence the instrument refuses",
       [](const std::string& k, const std::string&) {
         Tevra_ARB_CreateComplexSequenceFile();
         Tevra_ARB_ComplexSequenceFile_AddSegment("a.wf1", 1);
         return Tevra_ARB_ComplexSequenceFile_Save("bad name", k.c_str());
       },
       -4366, "ERR -4366,L4359,0x80040303,Q7730 error -257"},
      {"an odd-sized segment",
       [](const std::string&, const std::string& f) {
         return Tevra_ARB_DownloadEx((f + "/odd.wf1").c_str(), 1);
       },
       -3628, "ERR -3628,L3564,0x80040303,Q7730 error -224"},
      {"no segment name",
       [](const std::string& k, const std::string&) { return Tevra_ARB_SaveSegment(nullptr, k.c_str()); },
       -4178, "ERR -4178,L4176,0x80070057,no waveform name"},
      {"a folder and name longer than a path",
       [](const std::string&, const std::string& f) {
         const std::string folder = f + "/" + std::string(200, 'd');
         std::filesystem::create_directory(folder);
         writeFile(folder + "/" + std::string(60, 'n') + ".wf1", "abcd");
         return Tevra_ARB_DownloadEx((folder + "/*.wf1").c_str(), 1);
       },
       -3628, "ERR -3628,path '"},
      {"a folder too long for its patterns",
       [](const std::string&, const std::string& f) {
         return Tevra_ARB_Download((f + std::string(250, 'd')).c_str());
       },
       -3769, "ERR -3769,folder '"},
      {"a segment shorter than its size (a system file of 4096 bytes that reads 4)",
       [](const std::string&, const std::string& f) {
         std::filesystem::create_symlink("/sys/devices/system/cpu/online", f + "/short.wf1");
         return Tevra_ARB_DownloadEx((f + "/short.wf1").c_str(), 1);
       },
       -3628, "ERR -3628,L3564,0x80070"},
      {"a folder too long for the pattern",
       [](const std::string&, const std::string& f) {
         return Tevra_ARB_DownloadEx((f + "/" + std::string(300, 'x') + "/*.wf1").c_str(), 1);
       },
       -8294, "ERR -8294,path '"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    mark_ = traceMark(trace_);
    EXPECT_EQ(row.call(keep, local_.path()), row.expected);
    const auto lines = readTraceLines(trace_, mark_);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [&](const std::string& l) { return l.rfind(row.errPrefix, 0) == 0; }));
    EXPECT_EQ(readFile(keep), "old content");
    EXPECT_EQ(readFile(local_.file("blocked.wf1")), "blocked");
  }
  EXPECT_EQ(stored("", "a.wf1"), readFile(local_.file("a.wf1")));
  EXPECT_EQ(list(Tevra_ARB_GetLoadedSegmentFileList), "2:a.wf1;CW_TONE.wf1;") << "the short one refused";

  control(":SIMulation:FAULt:GLOBal:CLOSe 1");
  writeFile(local_.file("a.wf1"), std::string(64, '\x7F'));
  EXPECT_EQ(Tevra_ARB_DownloadEx(local_.file("a.wf1").c_str(), 1), -3628) << "a dead link";
  control(":SIMulation:FAULt:GLOBal:RESet");
  EXPECT_EQ(stored("", "a.wf1"), std::string(64, '\x10'));
}

}  // namespace
}  // namespace tevra::test
