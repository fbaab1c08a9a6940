// The definite-length block reader of file transfers: whole blocks with any bytes, and every way a block
// can be wrong.
#include <gtest/gtest.h>

#include <string>

#include "platform/visa/definite_block.h"

namespace tevra::platform::visa {
namespace {

TEST(DefiniteBlockTest, ReadsWholeBlocksAndRefusesBrokenOnes) {
  struct Row {
    std::string text;
    uint64_t limit;
    BlockStatus status;
    std::string payload, rest;
  };
  const Row rows[] = {
      {"#15a\nb;c;1", 100, BlockStatus::kWhole, "a\nb;c", ";1"},
      {std::string("#14\0\n#9", 7), 4, BlockStatus::kWhole, std::string("\0\n#9", 4), ""},
      {"#3005abcde", 5, BlockStatus::kWhole, "abcde", ""},
      {"#15abc", 100, BlockStatus::kTruncated, "", ""},
      {"#3", 100, BlockStatus::kTruncated, "", ""},
      {"#15abcde", 4, BlockStatus::kTooLong, "", ""},
      {"#999999999", UINT64_MAX, BlockStatus::kTruncated, "", ""},
      {"#0\n", 100, BlockStatus::kNotABlock, "", ""},
      {"#2x5ab", 100, BlockStatus::kNotABlock, "", ""},
      {"1", 100, BlockStatus::kNotABlock, "", ""},
  };
  for (const Row& row : rows) {
    DefiniteBlock block;
    EXPECT_EQ(parseDefiniteBlock(row.text, row.limit, &block), row.status) << row.text;
    if (row.status != BlockStatus::kWhole) continue;
    EXPECT_EQ(block.payload, row.payload);
    EXPECT_EQ(block.rest, row.rest);
  }
  EXPECT_EQ(definiteBlockHeader(67108864), "#867108864");
  EXPECT_EQ(definiteBlockHeader(0), "#10");
}

}  // namespace
}  // namespace tevra::platform::visa
