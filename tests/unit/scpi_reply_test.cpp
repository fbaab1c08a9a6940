#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "src/arb/scpi_commands.h"
#include "src/visa/scpi_reply.h"

namespace tevra::visa {
namespace {

TEST(ScpiReplyTest, ErrorQueueRepliesGiveTheirNumberAndMessage) {
  struct Case {
    std::string reply;
    int32_t number;
    std::string message;
  } cases[] = {
      {"-113,\"Undefined header\"\n", -113, "Undefined header"},
      {"0,\"No error\"\n", 0, ""},
      {"-350\r\n", -350, "-350"},
      {"-222,\"Data out of range\r\n", -222, "Data out of range"},
      {"+12,\"unterminated", 12, "unterminated"},
      {"  -222,\"Data out of range\";extra\"", -222, "Data out of range"},
      {"x,\"not a number\"", 0, ""},
      {"99999999999,\"big\"", INT32_MAX, "big"},
  };
  for (const auto& c : cases) {
    char buffer[64] = {};
    std::memcpy(buffer, c.reply.data(), c.reply.size());
    const int32_t number = leadingInteger(buffer, c.reply.size());
    EXPECT_EQ(number, c.number) << c.reply;
    if (number != 0) {
      extractErrorMessage(buffer, c.reply.size(), sizeof buffer);
      EXPECT_EQ(std::string(buffer), c.message) << c.reply;
    }
  }
  char full[8];
  std::memset(full, 'A', sizeof full);
  extractErrorMessage(full, sizeof full, sizeof full);
  EXPECT_EQ(std::string(full), "AAAAAAA") << "a reply that fills the buffer is terminated inside it";
}

TEST(ScpiReplyTest, ListFieldsAreTakenBySemicolons) {
  struct Case {
    const char* list;
    int32_t index;
    std::string field;
  } cases[] = {
      {"a;b", 2, ""},   {";b", 0, ""},
      {"a;b", 1, "b"},  {"TCPIP0::h::5025::SOCKET;x", 0, "TCPIP0::h::5025::SOCKET"},
      {nullptr, 0, ""}, {"", 0, ""},
      {"a;b", -1, ""},
  };
  for (const auto& c : cases) {
    char out[32] = "junk";
    EXPECT_TRUE(getListField(c.list, c.index, out, sizeof out));
    EXPECT_EQ(std::string(out), c.field) << (c.list ? c.list : "(null)") << " #" << c.index;
  }
  char small[4];
  EXPECT_FALSE(getListField("abcdef;x", 0, small, sizeof small));
  EXPECT_EQ(std::string(small), "abc");
}

TEST(ScpiReplyTest, NamesThatWouldBreakTheQuotedParameterAreRefused) {
  EXPECT_TRUE(isSafeScpiName("WLAN_54M-seq.1"));
  EXPECT_TRUE(isSafeScpiName(""));
  for (const char* bad : {"a\"b", "a;*RST", "line\nnext", "tab\t", static_cast<const char*>(nullptr)}) {
    EXPECT_FALSE(isSafeScpiName(bad)) << (bad ? bad : "(null)");
  }
}

TEST(ScpiCommandTest, NumbersAreFormattedAsTheInstrumentReadsThem) {
  EXPECT_EQ(arb::powerCommand(-10), ":SOURce:POWer:LEVel:IMMediate:AMPLitude -10.000000");
  EXPECT_EQ(arb::frequencyCommand(2437), ":SOURce:FREQuency:FIXed 2437MHz");
  EXPECT_EQ(arb::frequencyCommand(2437.5), ":SOURce:FREQuency:FIXed 2437.5MHz");
  EXPECT_EQ(arb::frequencyCommand(5180.12), ":SOURce:FREQuency:FIXed 5180.12MHz");
  EXPECT_EQ(arb::frequencyCommand(2412.0015), ":SOURce:FREQuency:FIXed 2412.0015MHz") << "carried to 1 Hz";
  EXPECT_EQ(arb::sampleClockCommand(44), ":SOURce:RADio:ARB:CLOCK:SRATe 44MHz");
  EXPECT_EQ(arb::sequenceWaveformCommand("CW"), ":SOURce:RADio:ARB:WAVEform \"SEQ:CW\"");
}

}  // namespace
}  // namespace tevra::visa
