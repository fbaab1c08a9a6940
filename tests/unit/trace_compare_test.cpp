#include "tests/support/trace_compare.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace tevra::test {
namespace {

// The other tests rely on stripping only real prefixes.
TEST(LogTraceCompareTest, OnlyWholePrefixesAreStripped) {
  TempDir dir;
  const std::string path = dir.file("trace.txt");
  writeFile(path,
            "12/31 23:59:58.007 [1A2B3C] first\r\n"
            "04/17 09:30:05.123 [abcd] lower-case id\r\n"
            "04/17 09:30:05.123 [ABC] short id");
  const std::vector<std::string> lines = {"first", "04/17 09:30:05.123 [abcd] lower-case id",
                                          "04/17 09:30:05.123 [ABC] short id"};
  EXPECT_EQ(readTraceLines(path), lines);
  EXPECT_EQ(readTraceLines(path, 35), std::vector<std::string>(lines.begin() + 1, lines.end()));
  EXPECT_TRUE(readTraceLines(dir.file("missing.txt")).empty());
}

}  // namespace
}  // namespace tevra::test
