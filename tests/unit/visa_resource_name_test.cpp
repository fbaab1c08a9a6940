#include <gtest/gtest.h>

#include <string>

#include "platform/visa/resource_name.h"

namespace tevra::platform::visa {
namespace {

TEST(ResourceNameTest, ParsesTcpipResourcesWithoutRegardToCase) {
  struct Case {
    const char* text;
    ViStatus status;
    ResourceKind kind;
    uint32_t board;
    const char* host;
    uint16_t port;
    const char* device;
  } cases[] = {
      {"TCPIP0::127.0.0.1::5025::SOCKET", VI_SUCCESS, ResourceKind::kTcpipSocket, 0, "127.0.0.1", 5025, ""},
      {"tcpip::LocalHost::5025::socket", VI_SUCCESS, ResourceKind::kTcpipSocket, 0, "LocalHost", 5025, ""},
      {"TcpIp3::q7730-lab.example::65535::Socket", VI_SUCCESS, ResourceKind::kTcpipSocket, 3,
       "q7730-lab.example", 65535, ""},
      {"TCPIP0::[::1]::5025::SOCKET", VI_SUCCESS, ResourceKind::kTcpipSocket, 0, "::1", 5025, ""},
      {"TCPIP0::127.0.0.1::INSTR", VI_SUCCESS, ResourceKind::kTcpipInstr, 0, "127.0.0.1", 0, "inst0"},
      {"TCPIP::127.0.0.1", VI_SUCCESS, ResourceKind::kTcpipInstr, 0, "127.0.0.1", 0, "inst0"},
      {"tcpip1::127.0.0.1::inst1::instr", VI_SUCCESS, ResourceKind::kTcpipInstr, 1, "127.0.0.1", 0, "inst1"},
      {"TCPIP0::127.0.0.1::gpib0,2", VI_SUCCESS, ResourceKind::kTcpipInstr, 0, "127.0.0.1", 0, "gpib0,2"},
      {"TCPIP0::10.0.0.2::hislip0::INSTR", VI_SUCCESS, ResourceKind::kTcpipHislip, 0, "10.0.0.2", 4880,
       "hislip0"},
      {"tcpip2::h::HiSLIP3,5000", VI_SUCCESS, ResourceKind::kTcpipHislip, 2, "h", 5000, "HiSLIP3"},
      {"TCPIP::h::hislip::INSTR", VI_ERROR_INV_RSRC_NAME, {}, 0, "", 0, ""},
      {"TCPIP::h::hislip0,0::INSTR", VI_ERROR_INV_RSRC_NAME, {}, 0, "", 0, ""},
      {"GPIB0::5::INSTR", VI_ERROR_RSRC_NFOUND, {}, 0, "", 0, ""},
      {"ASRL1::INSTR", VI_ERROR_RSRC_NFOUND, {}, 0, "", 0, ""},
      {"", VI_ERROR_INV_RSRC_NAME, {}, 0, "", 0, ""},
      {"TCPIP0", VI_ERROR_INV_RSRC_NAME, {}, 0, "", 0, ""},
      {"TCPIP0::", VI_ERROR_INV_RSRC_NAME, {}, 0, "", 0, ""},
      {"TCPIP0::127.0.0.1::SOCKET", VI_ERROR_INV_RSRC_NAME, {}, 0, "", 0, ""},
      {"TCPIP0::127.0.0.1::0::SOCKET", VI_ERROR_INV_RSRC_NAME, {}, 0, "", 0, ""},
      {"TCPIP0::127.0.0.1::65536::SOCKET", VI_ERROR_INV_RSRC_NAME, {}, 0, "", 0, ""},
      {"TCPIP0::127.0.0.1::50x5::SOCKET", VI_ERROR_INV_RSRC_NAME, {}, 0, "", 0, ""},
      {"TCPIP0::127.0.0.1::5025", VI_ERROR_INV_RSRC_NAME, {}, 0, "", 0, ""},
      {"TCPIP0::127.0.0.1::5025::SOCKET::X", VI_ERROR_INV_RSRC_NAME, {}, 0, "", 0, ""},
      {"TCPIP0::bad host::5025::SOCKET", VI_ERROR_INV_RSRC_NAME, {}, 0, "", 0, ""},
      {"TCPIP0::[::1::5025::SOCKET", VI_ERROR_INV_RSRC_NAME, {}, 0, "", 0, ""},
      {"TCPIP0::::5025::SOCKET", VI_ERROR_INV_RSRC_NAME, {}, 0, "", 0, ""},
      {"TCPIP99999::127.0.0.1::5025::SOCKET", VI_ERROR_INV_RSRC_NAME, {}, 0, "", 0, ""},
      {"no resource", VI_ERROR_INV_RSRC_NAME, {}, 0, "", 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    ParsedResource parsed = parseResourceName(c.text);
    ASSERT_EQ(parsed.status, c.status);
    if (c.status != VI_SUCCESS) continue;
    EXPECT_EQ(parsed.name.kind, c.kind);
    EXPECT_EQ(parsed.name.board, c.board);
    EXPECT_EQ(parsed.name.host, c.host);
    EXPECT_EQ(parsed.name.port, c.port);
    EXPECT_EQ(parsed.name.deviceName, c.device);
  }
  const std::string overlong = "TCPIP0::" + std::string(kMaxResourceNameLength, 'a') + "::5025::SOCKET";
  EXPECT_EQ(parseResourceName(overlong).status, VI_ERROR_INV_RSRC_NAME);
}

}  // namespace
}  // namespace tevra::platform::visa
