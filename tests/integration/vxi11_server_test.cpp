// The simulator's VXI-11 core channel spoken to with libtirpc directly, at its port (no portmapper): what
// each procedure answers, how reads end, and the RPC errors.
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sim/vxi11/device_link.h"
#include "sim/vxi11/vxi11_server.h"
#include "tests/support/temp_dir.h"
#include "vxi11/vxi11_core.h"

namespace tevra::test {
namespace {

using sim::vxi11::kDeviceNotAccessible;
using sim::vxi11::kInvalidLinkIdentifier;
using sim::vxi11::kIoTimeout;
using sim::vxi11::kNoError;
using sim::vxi11::kReasonEnd;
using sim::vxi11::kReasonRequestCount;
using sim::vxi11::kReasonTermChar;

constexpr int32_t kFlagEnd = 0x08;
constexpr int32_t kFlagTermCharSet = 0x80;
constexpr timeval kCallTimeout{5, 0};

sockaddr_in loopback(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

struct Reply {
  int32_t error = -1;
  int32_t reason = 0;
  std::string data;
};

class Vxi11ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(server_.start(0, &error)) << error;
    client_ = connect(DEVICE_CORE_VERSION);
    ASSERT_NE(client_, nullptr);
  }
  void TearDown() override {
    if (client_ != nullptr) clnt_destroy(client_);
    server_.stop();
  }

  CLIENT* connect(u_long version) {
    sockaddr_in address = loopback(server_.port());
    int sock = RPC_ANYSOCK;
    return clnttcp_create(&address, DEVICE_CORE, version, &sock, 0, 0);
  }

  template <class Args, class Result>
  clnt_stat call(CLIENT* client, rpcproc_t procedure, bool_t (*encode)(XDR*, Args*), Args* args,
                 bool_t (*decode)(XDR*, Result*), Result* result) {
    return clnt_call(client, procedure, reinterpret_cast<xdrproc_t>(encode), args,
                     reinterpret_cast<xdrproc_t>(decode), result, kCallTimeout);
  }

  Create_LinkResp createLink(const char* device) {
    Create_LinkParms in{0, 0, 0, const_cast<char*>(device)};
    Create_LinkResp out{};
    EXPECT_EQ(call(client_, create_link, xdr_Create_LinkParms, &in, xdr_Create_LinkResp, &out), RPC_SUCCESS);
    return out;
  }

  int32_t write(Device_Link link, const std::string& data, int32_t flags = kFlagEnd) {
    Device_WriteParms in{
        link, 1000, 0, flags, {static_cast<u_int>(data.size()), const_cast<char*>(data.data())}};
    Device_WriteResp out{};
    EXPECT_EQ(call(client_, device_write, xdr_Device_WriteParms, &in, xdr_Device_WriteResp, &out),
              RPC_SUCCESS);
    if (out.error == kNoError) {
      EXPECT_EQ(out.size, data.size());
    }
    return out.error;
  }

  Reply read(Device_Link link, u_int size, u_int timeoutMs = 2000, int termChar = -1) {
    Device_ReadParms in{link,
                        size,
                        timeoutMs,
                        0,
                        termChar >= 0 ? kFlagTermCharSet : 0,
                        static_cast<char>(termChar >= 0 ? termChar : 0)};
    Device_ReadResp out{};
    Reply reply;
    if (call(client_, device_read, xdr_Device_ReadParms, &in, xdr_Device_ReadResp, &out) != RPC_SUCCESS)
      return reply;
    reply = {out.error, out.reason, std::string(out.data.data_val, out.data.data_len)};
    xdr_free(reinterpret_cast<xdrproc_t>(xdr_Device_ReadResp), &out);
    return reply;
  }

  int32_t linkCall(rpcproc_t procedure, Device_Link link) {
    Device_Error out{-1};
    if (procedure == device_clear) {
      Device_GenericParms in{link, 0, 0, 0};
      EXPECT_EQ(call(client_, procedure, xdr_Device_GenericParms, &in, xdr_Device_Error, &out), RPC_SUCCESS);
    } else {
      EXPECT_EQ(call(client_, procedure, xdr_Device_Link, &link, xdr_Device_Error, &out), RPC_SUCCESS);
    }
    return out.error;
  }

  Device_Link openLink() {
    Create_LinkResp link = createLink("inst0");
    EXPECT_EQ(link.error, kNoError);
    return link.lid;
  }

  TempDir storage_;
  sim::Instrument instrument_{{.storageDir = storage_.path(), .profile = {}}};
  sim::vxi11::Vxi11Server server_{instrument_};
  CLIENT* client_ = nullptr;
};

TEST_F(Vxi11ServerTest, CreateLinkTakesTheInstrumentsDeviceNameOnly) {
  struct Case {
    const char* device;
    int32_t error;
  } cases[] = {{"inst0", kNoError},
               {"INST0", kNoError},
               {"inst1", kDeviceNotAccessible},
               {"", kDeviceNotAccessible},
               {"gpib0,2", kDeviceNotAccessible}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.device);
    Create_LinkResp link = createLink(c.device);
    EXPECT_EQ(link.error, c.error);
    if (c.error != kNoError) continue;
    EXPECT_GT(link.lid, 0);
    EXPECT_GT(link.abortPort, 0);
    EXPECT_EQ(link.maxRecvSize, 64u << 20);
  }
}

TEST_F(Vxi11ServerTest, ReadsEndAtTheRequestTheTermCharOrTheEnd) {
  Device_Link link = openLink();
  ASSERT_EQ(write(link, "*IDN?"), kNoError);
  struct Step {
    u_int size;
    int termChar;
    int32_t reason;
    const char* data;
  } steps[] = {
      {8, -1, kReasonRequestCount, "Bextora,"},
      {100, ',', kReasonTermChar, "Q7730,"},
      {18, -1, kReasonRequestCount, "SIM7730-0042,3.12."},
      {6, -1, kReasonRequestCount | kReasonEnd, "0-sim\n"},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.data);
    Reply reply = read(link, s.size, 2000, s.termChar);
    EXPECT_EQ(reply.error, kNoError);
    EXPECT_EQ(reply.reason, s.reason);
    EXPECT_EQ(reply.data, s.data);
  }
}

TEST_F(Vxi11ServerTest, AMessageWithoutEndWaitsAndClearDropsIt) {
  Device_Link link = openLink();
  ASSERT_EQ(write(link, "*OP", 0), kNoError);
  Reply pending = read(link, 100, 50);
  EXPECT_EQ(pending.error, kIoTimeout);
  EXPECT_EQ(pending.data, "");
  ASSERT_EQ(write(link, "C?"), kNoError);
  Reply ended = read(link, 100);
  EXPECT_EQ(ended.reason, kReasonEnd);
  EXPECT_EQ(ended.data, "1\n");

  ASSERT_EQ(write(link, "*IDN?"), kNoError);
  ASSERT_EQ(write(link, "*OP", 0), kNoError);
  EXPECT_EQ(linkCall(device_clear, link), kNoError);
  // The read of the unended message was a query unterminated.
  ASSERT_EQ(write(link, "C?;:SYST:ERR:ALL?"), kNoError);
  EXPECT_EQ(read(link, 100).data, "-420,\"Query UNTERMINATED\",-113,\"Undefined header;C?\"\n");
}

bool_t noArguments(XDR*, void*) {
  return TRUE;
}

TEST_F(Vxi11ServerTest, TheInterruptAndAbortChannelsAnswerTheirErrorCodes) {
  // A port that listens for the interrupt channel, and one that refuses it.
  int listening = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int refusing = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = loopback(0);
  socklen_t length = sizeof address;
  ASSERT_EQ(::bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listening, 1), 0);
  ASSERT_EQ(::getsockname(listening, reinterpret_cast<sockaddr*>(&address), &length), 0);
  u_short port = ntohs(address.sin_port);
  address = loopback(0);
  ASSERT_EQ(::bind(refusing, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::getsockname(refusing, reinterpret_cast<sockaddr*>(&address), &length), 0);
  u_short refused = ntohs(address.sin_port);

  struct Case {
    Device_AddrFamily family;
    u_short port;  // 0: destroy_intr_chan
    int32_t error;
  } cases[] = {
      {DEVICE_UDP, port, sim::vxi11::kOperationNotSupported},
      {DEVICE_TCP, refused, sim::vxi11::kChannelNotEstablished},
      {DEVICE_TCP, port, kNoError},
      {DEVICE_TCP, port, sim::vxi11::kChannelAlreadyEstablished},
      {DEVICE_TCP, 0, kNoError},
      {DEVICE_TCP, 0, sim::vxi11::kChannelNotEstablished},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.port);
    Device_Error out{-1};
    if (c.port == 0) {
      EXPECT_EQ(
          call(client_, destroy_intr_chan, noArguments, static_cast<void*>(nullptr), xdr_Device_Error, &out),
          RPC_SUCCESS);
    } else {
      Device_RemoteFunc in{INADDR_LOOPBACK, c.port, DEVICE_INTR, DEVICE_INTR_VERSION, c.family};
      EXPECT_EQ(call(client_, create_intr_chan, xdr_Device_RemoteFunc, &in, xdr_Device_Error, &out),
                RPC_SUCCESS);
    }
    EXPECT_EQ(out.error, c.error);
  }
  ::close(listening);
  ::close(refusing);

  Create_LinkResp link = createLink("inst0");
  sockaddr_in abortAddress = loopback(link.abortPort);
  int sock = RPC_ANYSOCK;
  CLIENT* abortClient = clnttcp_create(&abortAddress, DEVICE_ASYNC, DEVICE_ASYNC_VERSION, &sock, 0, 0);
  ASSERT_NE(abortClient, nullptr);
  for (auto [lid, error] :
       {std::pair{link.lid, kNoError}, std::pair{link.lid + 1000, kInvalidLinkIdentifier}}) {
    Device_Error out{-1};
    EXPECT_EQ(call(abortClient, device_abort, xdr_Device_Link, &lid, xdr_Device_Error, &out), RPC_SUCCESS);
    EXPECT_EQ(out.error, error);
  }
  clnt_destroy(abortClient);
}

TEST_F(Vxi11ServerTest, LinksBelongToTheirConnectionUntilDestroyed) {
  Device_Link link = openLink();
  Device_Link other = openLink();
  EXPECT_EQ(write(link + 1000, "*OPC?"), kInvalidLinkIdentifier);
  EXPECT_EQ(read(link + 1000, 100).error, kInvalidLinkIdentifier);
  EXPECT_EQ(linkCall(destroy_link, link), kNoError);
  EXPECT_EQ(linkCall(destroy_link, link), kInvalidLinkIdentifier);
  EXPECT_EQ(linkCall(device_clear, link), kInvalidLinkIdentifier);

  CLIENT* stranger = connect(DEVICE_CORE_VERSION);
  ASSERT_NE(stranger, nullptr);
  Device_Error out{-1};
  EXPECT_EQ(call(stranger, destroy_link, xdr_Device_Link, &other, xdr_Device_Error, &out), RPC_SUCCESS);
  EXPECT_EQ(out.error, kInvalidLinkIdentifier);
  clnt_destroy(stranger);
}

TEST_F(Vxi11ServerTest, OtherProceduresAndVersionsAreRefused) {
  Device_Link link = openLink();
  Device_GenericParms in{link, 0, 0, 0};
  Device_Error out{};
  EXPECT_EQ(call(client_, 22, xdr_Device_GenericParms, &in, xdr_Device_Error, &out), RPC_PROCUNAVAIL);

  CLIENT* newer = connect(DEVICE_CORE_VERSION + 1);
  ASSERT_NE(newer, nullptr);
  EXPECT_EQ(call(newer, destroy_link, xdr_Device_Link, &link, xdr_Device_Error, &out), RPC_PROGVERSMISMATCH);
  clnt_destroy(newer);
  EXPECT_EQ(linkCall(destroy_link, link), kNoError);
}

// A record of big-endian words behind its record mark.
std::string record(const std::vector<uint32_t>& words, uint32_t mark) {
  std::string bytes;
  auto put = [&bytes](uint32_t word) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<char>(word >> shift));
  };
  put(mark);
  for (uint32_t word : words) put(word);
  return bytes;
}

TEST_F(Vxi11ServerTest, MalformedRecordsAreAnsweredOrEndTheConnection) {
  constexpr uint32_t kLast = 0x80000000u;
  // xid 7, a call of RPC version 2 to the core channel's device_write, no credentials, one argument word.
  std::vector<uint32_t> truncatedWrite = {7, 0, 2, DEVICE_CORE, DEVICE_CORE_VERSION, device_write, 0, 0,
                                          0, 0, 1};
  struct Case {
    const char* name;
    std::string bytes;
    std::string reply;  // empty: the server closes the connection
  } cases[] = {
      {"arguments cut short", record(truncatedWrite, kLast | 44),
       record({7, 1, 0, 0, 0, GARBAGE_ARGS}, kLast | 24)},
      {"not a call", record({7, 1}, kLast | 8), ""},
      {"longer than any write", record({}, kLast | 0x7FFFFFFFu), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(server_.port());
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::send(fd, c.bytes.data(), c.bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(c.bytes.size()));
    // The server answers what it was sent, then meets the end of the stream and closes.
    ::shutdown(fd, SHUT_WR);
    std::string reply(64, '\0');
    ssize_t n = ::recv(fd, reply.data(), reply.size(), MSG_WAITALL);
    reply.resize(n > 0 ? static_cast<size_t>(n) : 0);
    EXPECT_EQ(reply, c.reply);
    ::close(fd);
  }
}

}  // namespace
}  // namespace tevra::test
