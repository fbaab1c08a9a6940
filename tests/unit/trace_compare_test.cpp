#include "tests/support/trace_compare.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace tevra::test {
namespace {

TEST(LogTraceCompareTest, PrefixesAreStrippedAndTheFirstDifferenceIsNamed) {
  TempDir dir;
  const std::string path = dir.file("trace.txt");
  writeFile(path,
            "04/17 09:30:05.123 [ABCD] first\r\n"
            "12/31 23:59:58.007 [1A2B3C] second\r\n"
            "04/17 09:30:05.123 [abcd] lower-case id\r\n"
            "no prefix\r\n"
            "04/17 09:30:05.123 [ABC] short id");
  const std::vector<std::string> lines = {"first", "second", "04/17 09:30:05.123 [abcd] lower-case id",
                                          "no prefix", "04/17 09:30:05.123 [ABC] short id"};
  EXPECT_EQ(readTraceLines(path), lines);
  EXPECT_EQ(readTraceLines(path, 33), std::vector<std::string>(lines.begin() + 1, lines.end()));
  EXPECT_TRUE(traceLinesAre(path, lines));

  struct Case {
    std::vector<std::string> expected;
    const char* message;
  } cases[] = {
      {{"first", "other"}, "line 2 differs\n  expected: \"other\"\n  actual:   \"second\""},
      {{"first"}, "5 lines, 1 expected; first extra line 2: \"second\""},
      {{lines[0], lines[1], lines[2], lines[3], lines[4], "sixth"}, "first missing line 6: \"sixth\""},
  };
  for (const auto& c : cases) {
    const ::testing::AssertionResult result = traceLinesAre(path, c.expected);
    EXPECT_FALSE(result);
    EXPECT_NE(std::string(result.message()).find(c.message), std::string::npos) << result.message();
  }
  EXPECT_FALSE(traceLinesAre(dir.file("missing.txt"), {}));
  EXPECT_EQ(traceMark(path), 154u);
}

}  // namespace
}  // namespace tevra::test
