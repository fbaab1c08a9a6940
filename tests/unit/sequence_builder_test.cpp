#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/driver_test.h"
#include "tevra.h"

namespace tevra::arb {
namespace {

using SequenceBuilderTest = test::DriverTest;

std::string golden(const std::string& name) {
  return test::readFile(std::string(TEVRA_GOLDEN_DIR) + "/" + name);
}

void saveList(const std::vector<std::pair<std::string, int>>& entries, const std::string& path) {
  Tevra_ARBEx_CreateSequenceFile();
  for (const auto& [name, repetitions] : entries)
    Tevra_ARBEx_SequenceFile_AddSegment(name.c_str(), repetitions);
  ASSERT_EQ(Tevra_ARBEx_SequenceFile_Save(path.c_str()), static_cast<int>(entries.size()));
}

// Every record kind is written byte for byte as the golden file and read back by the driver.
TEST_F(SequenceBuilderTest, WritesEveryRecordKindAsTheGoldenFileAndReadsItBack) {
  const std::string path = dir_.file("out.seq");
  const int compactCounts[] = {1, 5};
  struct Case {
    const char* golden;
    std::vector<std::pair<std::string, int>> entries;  // read back; written by the list unless compact
    bool compact;
  } cases[] = {
      {"one_entry.seq", {{"abc", 2}}, false},
      {"two_entries.seq", {{"seg_a", 3}, {std::string(30, 'x'), 16777215}}, false},
      {"compact.seq", {{"ab", 1}, {"cde", 5}}, true},
      {"compact_empty.seq", {}, true},
  };
  for (const auto& c : cases) {
    if (c.compact) {
      const char* names = c.entries.empty() ? "\0" : "ab\0cde\0";
      ASSERT_EQ(Tevra_ARBEx_MakeSequenceFile(names, compactCounts, path.c_str()), int(c.entries.size()));
    } else {
      saveList(c.entries, path);
    }
    EXPECT_EQ(test::readFile(path), golden(c.golden)) << c.golden;
    char names[64];
    int32_t counts[32] = {};
    ASSERT_EQ(Tevra_ARBEx_GetSegmentList(path.c_str(), names, sizeof names, counts), int(c.entries.size()));
    const char* name = names;
    for (size_t i = 0; i < c.entries.size(); name += std::string(name).size() + 1, ++i) {
      EXPECT_EQ(name, c.entries[i].first.substr(0, 23)) << c.golden;
      EXPECT_EQ(counts[i], c.entries[i].second) << c.golden;
    }
    EXPECT_EQ(*name, '\0');
  }
  EXPECT_EQ(test::readFile(path + ".bak"), golden("compact.seq"));
}

TEST_F(SequenceBuilderTest, RefusesWhatItsRecordsCannotHoldAndKeepsTheOldFile) {
  const std::string path = dir_.file("keep.seq");
  test::writeFile(path, "old");
  Tevra_ARBEx_CreateSequenceFile();
  EXPECT_EQ(Tevra_ARBEx_SequenceFile_Save(path.c_str()), -8006);
  for (int i = 0; i < 256; ++i) Tevra_ARBEx_SequenceFile_AddSegment("s", 1);
  EXPECT_EQ(Tevra_ARBEx_SequenceFile_AddSegment("s", 1), -7966);
  Tevra_ARBEx_CreateSequenceFile();
  EXPECT_EQ(Tevra_ARBEx_SequenceFile_AddSegment("s", 0), -7972);
  EXPECT_EQ(Tevra_ARBEx_SequenceFile_AddSegment(nullptr, 1), -7981);
  Tevra_ARBEx_SequenceFile_AddSegment("a", 1);
  Tevra_ARBEx_SequenceFile_AddSegment("b", 16777216);
  markTrace();
  EXPECT_EQ(Tevra_ARBEx_SequenceFile_Save(path.c_str()), -8080);
  EXPECT_EQ(lines()[1], "ERR -8080,Repetitions 16777216 of 'b' outside 1..16777215");
  const int32_t counts[] = {3, -1};
  EXPECT_EQ(Tevra_ARBEx_MakeSequenceFile("a\0b\0", counts, path.c_str()), -8258);
  EXPECT_EQ(Tevra_ARBEx_MakeSequenceFile("a\0", nullptr, path.c_str()), -8268);
  std::filesystem::create_directory(path + ".bak");  // a backup that cannot be written stops the replacement
  EXPECT_EQ(Tevra_ARBEx_MakeSequenceFile("a\0", counts, path.c_str()), -8227);
  EXPECT_EQ(test::readFile(path), "old");
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

// The reader never writes past the given size, refuses broken records and stops at a name that does not fit.
TEST_F(SequenceBuilderTest, ReadsIntoTheGivenSizeOnlyAndRefusesBrokenFiles) {
  const std::string two = golden("two_entries.seq");
  const std::string compact = golden("compact.seq");
  struct Case {
    std::string bytes;
    int size;
    int result;
    std::string names;  // what the buffer holds, final zero included
  } cases[] = {
      {compact, 8, 2, std::string("ab\0cde\0\0", 8)},
      {compact, 7, 1, std::string("ab\0\0", 4)},
      {compact, 1, 0, std::string(1, '\0')},
      {compact, 0, -8120, ""},
      {two.substr(0, 150), 64, -8169, std::string("seg_a\0\0", 7)},
      {two.substr(0, 60), 64, -8143, std::string(1, '\0')},
      {golden("one_entry.seq").substr(0, 300), 64, -8148, std::string(1, '\0')},
      {compact.substr(0, 104) + std::string("WFM1:\0", 6), 64, -8169, std::string(1, '\0')},
      {"", 64, 0, std::string(1, '\0')},
      {compact.substr(0, 104) + "WFM1:" + std::string(24, 'n') + "\xFF\xFF\xFF\xFF\xF0" +
           std::string("\0\0\7", 3),
       64, 1, std::string(24, 'n') + std::string(2, '\0')},
  };
  const std::string path = dir_.file("in.seq");
  for (const auto& c : cases) {
    test::writeFile(path, c.bytes);
    std::string names(64, '#');
    int32_t counts[8] = {};
    EXPECT_EQ(Tevra_ARBEx_GetSegmentList(path.c_str(), names.data(), c.size, counts), c.result) << c.size;
    EXPECT_EQ(names, c.names + std::string(64 - c.names.size(), '#')) << c.size;
  }
  EXPECT_EQ(Tevra_ARBEx_GetSegmentList(dir_.file("missing").c_str(), nullptr, 4, nullptr), -8120);
  Tevra_ARBEx_CreateSequenceFile();
  Tevra_ARBEx_SequenceFile_AddSegment("a", 1);
  EXPECT_EQ(Tevra_ARBEx_SequenceFile_Save(nullptr), -8026);
}

}  // namespace
}  // namespace tevra::arb
