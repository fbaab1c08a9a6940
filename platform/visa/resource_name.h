// VISA resource strings of the interfaces the layer knows, parsed without regard to case.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/visa/visa.h"

namespace tevra::platform::visa {

enum class ResourceKind {
  kTcpipSocket,  // TCPIP[board]::host::port::SOCKET
  kTcpipInstr,   // TCPIP[board]::host[::device name][::INSTR]
  kTcpipHislip,  // TCPIP[board]::host::hislipN[,port][::INSTR]
};

inline constexpr uint32_t kHislipDefaultPort = 4880;

struct ResourceName {
  ResourceKind kind = ResourceKind::kTcpipSocket;
  uint32_t board = 0;
  std::string host;        // as written, IPv6 addresses without their brackets
  uint16_t port = 0;       // SOCKET and HiSLIP
  std::string deviceName;  // INSTR and HiSLIP: "inst0" when the resource names none, "hislip0"
};

struct ParsedResource {
  // VI_SUCCESS; VI_ERROR_INV_RSRC_NAME for a malformed text; VI_ERROR_RSRC_NFOUND for a well-formed name
  // of another interface (GPIB0::5::INSTR, ASRL1::INSTR, ...).
  ViStatus status = VI_ERROR_INV_RSRC_NAME;
  ResourceName name;
};

inline constexpr size_t kMaxResourceNameLength = 256;

ParsedResource parseResourceName(std::string_view text);

}  // namespace tevra::platform::visa
