#include <gtest/gtest.h>

#include "platform/kernel/kernel.h"

namespace tevra::platform {
namespace {

TEST(SystemMessageTest, TextsEndInCrLfAndWin32CodesAnswerAsHresults) {
  struct Case {
    uint32_t code;
    const char* text;
  } cases[] = {
      {0x80004003u, "Invalid pointer\r\n"},
      {2, "The system cannot find the file specified.\r\n"},
      {0x80070002u, "The system cannot find the file specified.\r\n"},
      {0x80070057u, "The parameter is incorrect.\r\n"},
  };
  for (const auto& c : cases) {
    auto text = FormatSystemMessage(c.code);
    ASSERT_TRUE(text.has_value()) << std::hex << c.code;
    EXPECT_EQ(*text, c.text);
  }
  EXPECT_FALSE(FormatSystemMessage(0x80040205u).has_value());
  EXPECT_FALSE(FormatSystemMessage(0x80040200u).has_value());
}

}  // namespace
}  // namespace tevra::platform
