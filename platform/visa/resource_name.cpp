#include "platform/visa/resource_name.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

namespace tevra::platform::visa {
namespace {

bool equalsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
bool isAlpha(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

// The "::"-separated fields; a bracketed IPv6 address stays one field. Nothing when a bracket is unbalanced.
std::optional<std::vector<std::string_view>> splitFields(std::string_view text) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  bool inBrackets = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '[') {
      if (inBrackets) return std::nullopt;
      inBrackets = true;
    } else if (text[i] == ']') {
      if (!inBrackets) return std::nullopt;
      inBrackets = false;
    } else if (!inBrackets && text[i] == ':' && i + 1 < text.size() && text[i + 1] == ':') {
      fields.push_back(text.substr(start, i - start));
      start = i + 2;
      ++i;
    }
  }
  if (inBrackets) return std::nullopt;
  fields.push_back(text.substr(start));
  return fields;
}

std::optional<uint32_t> parseDecimal(std::string_view text, uint32_t max) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (!isDigit(c)) return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value > max) return std::nullopt;
  return static_cast<uint32_t>(value);
}

// Host names and IPv4 addresses as written; IPv6 addresses in brackets, returned without them.
std::optional<std::string> parseHost(std::string_view field) {
  if (field.size() >= 2 && field.front() == '[' && field.back() == ']') {
    std::string_view inner = field.substr(1, field.size() - 2);
    bool valid = !inner.empty() && std::all_of(inner.begin(), inner.end(), [](char c) {
      return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.' || c == '%';
    });
    if (!valid) return std::nullopt;
    return std::string(inner);
  }
  bool valid = !field.empty() && std::all_of(field.begin(), field.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
  });
  if (!valid) return std::nullopt;
  return std::string(field);
}

// A VXI-11 or HiSLIP device name: "inst0", "hislip0", "gpib0,2".
bool isDeviceName(std::string_view field) {
  return !field.empty() && isAlpha(field.front()) && std::all_of(field.begin(), field.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == ',';
  });
}

constexpr std::string_view kTcpip = "TCPIP";

bool isTcpipField(std::string_view field) {
  return field.size() >= kTcpip.size() && equalsNoCase(field.substr(0, kTcpip.size()), kTcpip);
}

// The board number after "TCPIP"; 0 when there is none.
std::optional<uint32_t> parseTcpipBoard(std::string_view field) {
  std::string_view digits = field.substr(kTcpip.size());
  if (digits.empty()) return 0u;
  return parseDecimal(digits, 65535);
}

// An interface word with an optional board number, as the other VISA interfaces begin: GPIB0, ASRL1, USB.
bool isInterfaceField(std::string_view field) {
  size_t letters = 0;
  while (letters < field.size() && (isAlpha(field[letters]) || field[letters] == '-')) ++letters;
  if (letters == 0 || !isAlpha(field.front())) return false;
  return std::all_of(field.begin() + static_cast<std::ptrdiff_t>(letters), field.end(), isDigit);
}

constexpr std::string_view kHislip = "hislip";

// "hislipN" or "hislipN,port" as a HiSLIP resource's sub-address and port; false for other device names.
// A malformed HiSLIP name (no number, port 0) leaves status VI_ERROR_INV_RSRC_NAME.
bool parseHislip(std::string_view device, ParsedResource* result) {
  if (device.size() < kHislip.size() || !equalsNoCase(device.substr(0, kHislip.size()), kHislip))
    return false;
  size_t comma = device.find(',');
  std::string_view name = device.substr(0, comma);
  if (!parseDecimal(name.substr(kHislip.size()), UINT32_MAX)) return true;
  uint32_t port = kHislipDefaultPort;
  if (comma != std::string_view::npos) {
    auto given = parseDecimal(device.substr(comma + 1), 65535);
    if (!given || *given == 0) return true;
    port = *given;
  }
  result->name.kind = ResourceKind::kTcpipHislip;
  result->name.deviceName = std::string(name);
  result->name.port = static_cast<uint16_t>(port);
  result->status = VI_SUCCESS;
  return true;
}

ParsedResource parseTcpip(uint32_t board, const std::vector<std::string_view>& fields) {
  ParsedResource result;
  if (fields.size() < 2 || fields.size() > 4) return result;
  auto host = parseHost(fields[1]);
  if (!host) return result;
  result.name.board = board;
  result.name.host = *host;

  if (fields.size() == 4 && equalsNoCase(fields[3], "SOCKET")) {
    auto port = parseDecimal(fields[2], 65535);
    if (!port || *port == 0) return result;
    result.name.kind = ResourceKind::kTcpipSocket;
    result.name.port = static_cast<uint16_t>(*port);
    result.status = VI_SUCCESS;
    return result;
  }

  // INSTR: TCPIP::host, TCPIP::host::INSTR, TCPIP::host::device, TCPIP::host::device::INSTR.
  std::string_view device = "inst0";
  bool endsInInstr = equalsNoCase(fields.back(), "INSTR");
  size_t deviceFields = fields.size() - 2 - (endsInInstr ? 1 : 0);
  if (deviceFields > 1) return result;
  if (deviceFields == 1) {
    device = fields[2];
    if (!isDeviceName(device) || equalsNoCase(device, "SOCKET")) return result;
    if (parseHislip(device, &result)) return result;
  }
  result.name.kind = ResourceKind::kTcpipInstr;
  result.name.deviceName = std::string(device);
  result.status = VI_SUCCESS;
  return result;
}

}  // namespace

ParsedResource parseResourceName(std::string_view text) {
  ParsedResource invalid;
  if (text.empty() || text.size() > kMaxResourceNameLength) return invalid;
  auto fields = splitFields(text);
  if (!fields || fields->size() < 2) return invalid;
  if (std::any_of(fields->begin(), fields->end(), [](std::string_view f) { return f.empty(); }))
    return invalid;

  if (isTcpipField(fields->front())) {
    auto board = parseTcpipBoard(fields->front());
    return board ? parseTcpip(*board, *fields) : invalid;
  }
  if (isInterfaceField(fields->front())) {
    ParsedResource other;
    other.status = VI_ERROR_RSRC_NFOUND;
    return other;
  }
  return invalid;
}

}  // namespace tevra::platform::visa
