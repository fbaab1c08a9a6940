#include <gtest/gtest.h>

#include <string>

#include "sim/instrument/sequence_file.h"

namespace tevra::sim {
namespace {

std::string header(bool singleEntry) {
  std::string bytes = singleEntry ? "\xB1\xA2\x93\x84" : "\x54\x09\x75\xE2";
  bytes.resize(104, '\0');
  return bytes;
}

std::string repetitions24(uint32_t n) {
  return {'\xF0', static_cast<char>(n >> 16), static_cast<char>(n >> 8), static_cast<char>(n)};
}

TEST(SequenceFileTest, ReadsTheThreeRecordLayouts) {
  std::string fixed = "WFM1:" + std::string("seg_a") + std::string(1, '\0') + std::string(18, '\xFF') +
                      std::string(4, '\xFF') + repetitions24(3);
  ASSERT_EQ(fixed.size(), 37u);
  std::string compact = "WFM1:seg_b" + std::string(4, '\xFF') + repetitions24(0x010203);
  struct Case {
    std::string bytes;
    std::vector<std::pair<std::string, uint32_t>> entries;  // empty: not a sequence file
  } cases[] = {
      {encodeSingleEntrySequence({"CW_TONE", 7}), {{"CW_TONE", 7}}},
      {header(false) + fixed + compact, {{"seg_a", 3}, {"seg_b", 0x010203}}},
      {header(false) + compact, {{"seg_b", 0x010203}}},
      {header(false), {}},
      {header(true) + fixed, {}},
      {header(false) + compact.substr(0, compact.size() - 1), {}},
      {header(false) + "WFM1:x" + std::string(4, '\xFF') + repetitions24(0), {}},
      {std::string(104, '\0') + compact, {}},
      {"short", {}},
  };
  for (const auto& c : cases) {
    auto entries = parseSequenceFile(c.bytes);
    ASSERT_EQ(entries.has_value(), !c.entries.empty()) << c.bytes.size();
    if (!entries) continue;
    ASSERT_EQ(entries->size(), c.entries.size());
    for (size_t i = 0; i < entries->size(); ++i) {
      EXPECT_EQ((*entries)[i].segment, c.entries[i].first);
      EXPECT_EQ((*entries)[i].repetitions, c.entries[i].second);
    }
  }
  EXPECT_EQ(encodeSingleEntrySequence({"CW_TONE", 1}).size(), 104u + 260u);
}

}  // namespace
}  // namespace tevra::sim
