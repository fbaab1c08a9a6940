// Decoding of VXI-11 device_read replies: a reply is taken only by its own call, and its data never runs
// past the caller's count.
#include <arpa/inet.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/visa/linux/onc_rpc.h"
#include "platform/visa/linux/vxi11_read_reply.h"

namespace tevra::platform::visa {
namespace {

constexpr uint32_t kXid = 0x1234;

// A reply record: words in network order, then data padded to a word.
std::string record(std::vector<uint32_t> words, const std::string& data = {}) {
  std::string out;
  for (uint32_t w : words) {
    uint32_t n = htonl(w);
    out.append(reinterpret_cast<const char*>(&n), sizeof n);
  }
  out += data + std::string((4 - data.size() % 4) % 4, '\0');
  return out;
}

TEST(Vxi11Reply, DataIsTakenWithinTheCountOnlyFromTheCallsOwnReply) {
  struct Case {
    const char* name;
    std::string record;
    RpcReplyStatus status;
    std::string data;
  } cases[] = {
      {"end", record({kXid, 1, 0, 0, 0, 0, 0, 4, 5}, "hello"), RpcReplyStatus::kSuccess, "hello"},
      {"more than the count", record({kXid, 1, 0, 0, 0, 0, 0, 4, 9}, "hellohell"), RpcReplyStatus::kMalformed,
       ""},
      {"length past the record", record({kXid, 1, 0, 0, 0, 0, 0, 4, 8}, "he"), RpcReplyStatus::kMalformed,
       ""},
      {"another call's", record({kXid + 1, 1, 0, 0, 0, 0, 0, 4, 2}, "hi"), RpcReplyStatus::kOtherXid, ""},
      {"procedure unavailable", record({kXid, 1, 0, 0, 0, 3}), RpcReplyStatus::kRefused, ""},
      {"denied", record({kXid, 1, 1, 1, 1}), RpcReplyStatus::kRefused, ""},
      {"a call", record({kXid, 0, 2, 0x0607AF, 1, 12}), RpcReplyStatus::kMalformed, ""},
      {"cut", record({kXid, 1}), RpcReplyStatus::kMalformed, ""},
      {"short", "ab", RpcReplyStatus::kMalformed, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    char buffer[12];
    std::memset(buffer, '#', sizeof buffer);
    Vxi11ReadReply reply;
    reply.data = buffer;
    reply.capacity = 8;
    EXPECT_EQ(decodeRpcReply(c.record.data(), c.record.size(), kXid, xdrRoutine(xdrVxi11ReadReply), &reply),
              c.status);
    if (c.status == RpcReplyStatus::kSuccess) {
      EXPECT_EQ(std::string(buffer, reply.size), c.data);
      EXPECT_EQ(reply.reason, 4);
    }
    EXPECT_EQ(std::string(buffer + 8, 4), "####");
  }
}

}  // namespace
}  // namespace tevra::platform::visa
