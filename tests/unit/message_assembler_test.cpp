#include "sim/scpi/message_assembler.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace tevra::sim {
namespace {

constexpr size_t kMaxMessageSize = 16;

// Messages as received; a spooled payload is shown in brackets where it is missing from the text.
struct Assembly {
  std::vector<std::string> messages;
  int overruns = 0;
  MessageAssembler assembler{kMaxMessageSize,
                             [this](const std::string& message, const scpi::SpooledBlocks& blocks) {
                               std::string shown = message;
                               for (auto it = blocks.rbegin(); it != blocks.rend(); ++it)
                                 shown.insert(it->offset, "[" + it->spool->contents() + "]");
                               messages.push_back(shown);
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
    bool spooled = false;  // blocks of 4 bytes and more go to spool files
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
      {"a spooled block over chunks", {"D #16ab", "c\nd", "e;X\n"}, false, {"D #16[abc\nde];X"}, 0, true},
      {"a short block stays in its message", {"D #13abc,#14wxyz\n"}, false, {"D #13abc,#14[wxyz]"}, 0, true},
      {"spooled bytes do not count to the bound",
       {"D #220", std::string(20, 'x'), "\n"},
       false,
       {"D #220[" + std::string(20, 'x') + "]"},
       0,
       true},
  };
  test::TempDir spools;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Assembly assembly;
    if (c.spooled)
      assembly.assembler.spoolBlocksWith([&spools](uint64_t length) {
        return length >= 4 ? scpi::BlockSpool::create(spools.path()) : nullptr;
      });
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
  // Spool files go with their messages.
  EXPECT_TRUE(std::filesystem::is_empty(spools.path()));
}

}  // namespace
}  // namespace tevra::sim
