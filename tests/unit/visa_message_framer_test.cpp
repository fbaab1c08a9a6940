#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/visa/message_framer.h"

namespace tevra::platform::visa {
namespace {

// The messages of a stream, split where the framer ends them; a last unterminated part is kept.
std::vector<std::string> split(const std::string& stream, size_t chunk) {
  MessageFramer framer;
  std::vector<std::string> messages(1);
  for (size_t at = 0; at < stream.size();) {
    size_t n = std::min(chunk, stream.size() - at);
    size_t used = framer.scan(stream.data() + at, n);
    messages.back().append(stream, at, used);
    at += used;
    if (framer.atMessageEnd() && used > 0) messages.emplace_back();
  }
  if (messages.back().empty()) messages.pop_back();
  return messages;
}

TEST(MessageFramerTest, EndsMessagesAtNewlinesOutsideDefiniteBlocksAndTellsWhetherOneIsUnderWay) {
  using namespace std::string_literals;
  struct Case {
    std::string stream;
    std::vector<std::string> messages;
  } cases[] = {
      {"1\n2\n", {"1\n", "2\n"}},
      {"#15a\nb\nc\n", {"#15a\nb\nc\n"}},
      {"#213\n\n\n\n\n\n\n\n\n\n\n\n\n;1\n", {"#213\n\n\n\n\n\n\n\n\n\n\n\n\n;1\n"}},
      {"1,#12\n\n\n2\n", {"1,#12\n\n\n", "2\n"}},
      {"#10\n", {"#10\n"}},
      {"#0ab\ncd\n", {"#0ab\n", "cd\n"}},
      {"ABC#12\n\n", {"ABC#12\n", "\n"}},
      {"\"#12\"\n\n", {"\"#12\"\n", "\n"}},
      {"-256,\"it's #1\n\"\n", {"-256,\"it's #1\n", "\"\n"}},
      {"'unbalanced\n1\n", {"'unbalanced\n", "1\n"}},
      {"#H1F\n", {"#H1F\n"}},
      {"#3\n", {"#3\n"}},
      {"#2x\n", {"#2x\n"}},
      {"\0\xff\n"s, {"\0\xff\n"s}},
      {"#14\0\n\xff\n\n"s, {"#14\0\n\xff\n\n"s}},
  };
  for (const auto& c : cases) {
    for (size_t chunk : {size_t{1}, size_t{3}, c.stream.size()}) {
      EXPECT_EQ(split(c.stream, chunk), c.messages) << c.stream << " in chunks of " << chunk;
    }
  }
  MessageFramer framer;
  EXPECT_FALSE(framer.inMessage());
  framer.scan("#15ab", 5);
  EXPECT_TRUE(framer.inMessage());
  framer.scan("c\nde\n", 5);
  EXPECT_TRUE(framer.atMessageEnd());
  framer.scan("x", 1);
  framer.reset();
  EXPECT_FALSE(framer.inMessage());
}

}  // namespace
}  // namespace tevra::platform::visa
