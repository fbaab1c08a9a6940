#include "sim/scpi/message_assembler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tevra::sim {
namespace {

constexpr size_t kMaxMessageSize = 16;

struct Assembly {
  std::vector<std::string> messages;
  int overruns = 0;
  MessageAssembler assembler{kMaxMessageSize,
                             [this](const std::string& message) {
                               messages.push_back(message);
                               return message != "STOP";
                             },
                             [this] { ++overruns; }};
};

TEST(MessageAssemblerTest, MessagesEndAtNewlineOutsideBlocksOrAtTheTransportsEnd) {
  using namespace std::string_literals;
  struct Case {
    const char* name;
    std::vector<std::string> chunks;
    bool end;
    std::vector<std::string> messages;
    int overruns;
  } cases[] = {
      {"two in one chunk", {"*IDN?\n*OPC?\n"}, false, {"*IDN?", "*OPC?"}, 0},
      {"one over chunks", {"*ID", "N?", "\n"}, false, {"*IDN?"}, 0},
      {"a block holds newlines", {"D #13a\n", "b\n"}, false, {"D #13a\nb"}, 0},
      {"unended until the end", {"*OPC?"}, false, {}, 0},
      {"ended by the transport", {"*OPC?"}, true, {"*OPC?"}, 0},
      {"the end after a newline adds none", {"*OPC?\n"}, true, {"*OPC?"}, 0},
      {"the end inside a block", {"D #15ab"}, true, {"D #15ab"}, 0},
      {"an overlong one is dropped once", {std::string(40, 'A'), "\n*IDN?\n"}, false, {"*IDN?"}, 1},
      {"an overlong one ended by the transport", {std::string(20, 'A')}, true, {}, 1},
      {"nul bytes are data", {"D #12\0\n\n"s}, false, {"D #12\0\n"s}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Assembly assembly;
    for (const auto& chunk : c.chunks) EXPECT_TRUE(assembly.assembler.feed(chunk.data(), chunk.size()));
    if (c.end) {
      EXPECT_TRUE(assembly.assembler.endMessage());
    }
    EXPECT_EQ(assembly.messages, c.messages);
    EXPECT_EQ(assembly.overruns, c.overruns);
  }
  // A reset forgets a part message, and a handler that stops ends the feed.
  Assembly assembly;
  std::string part = "*OP";
  ASSERT_TRUE(assembly.assembler.feed(part.data(), part.size()));
  assembly.assembler.reset();
  std::string rest = "C?\nSTOP\n*IDN?\n";
  EXPECT_FALSE(assembly.assembler.feed(rest.data(), rest.size()));
  EXPECT_EQ(assembly.messages, (std::vector<std::string>{"C?", "STOP"}));
}

}  // namespace
}  // namespace tevra::sim
