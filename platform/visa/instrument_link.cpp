#include "platform/visa/instrument_link.h"

#include <cctype>
#include <charconv>
#include <string>
#include <string_view>

namespace tevra::platform::visa {
namespace {

constexpr std::string_view kStatusByteQuery = "*STB?";
constexpr std::string_view kTriggerCommand = "*TRG";
// "255" and its terminator with room to spare.
constexpr size_t kStatusReplySize = 32;

ViStatus sendText(InstrumentLink& link, std::string_view text, const Deadline& deadline) {
  size_t sent = 0;
  return link.write(reinterpret_cast<const ViByte*>(text.data()), text.size(), true, deadline, &sent);
}

// Sessions to one host and port share a lock; host names are compared without regard to case.
std::string socketLockKey(const ResourceName& resource) {
  std::string key;
  for (char c : resource.host) key.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  return key + ":" + std::to_string(resource.port);
}

}  // namespace

ViStatus InstrumentLink::readStatusByte(const ReadTermination& termination, const Deadline& deadline,
                                        ViUInt16* statusByte) {
  ViStatus status = sendText(*this, kStatusByteQuery, deadline);
  if (status < 0) return status;
  ViByte reply[kStatusReplySize];
  size_t received = 0;
  status = read(reply, sizeof reply, termination, deadline, &received);
  if (status < 0) return status;
  const char* text = reinterpret_cast<const char*>(reply);
  unsigned value = 0;
  auto [end, error] = std::from_chars(text, text + received, value);
  if (error != std::errc() || end == text || value > 0xFF) return VI_ERROR_IO;
  *statusByte = static_cast<ViUInt16>(value);
  return VI_SUCCESS;
}

ViStatus InstrumentLink::assertTrigger(const Deadline& deadline) {
  return sendText(*this, kTriggerCommand, deadline);
}

std::unique_ptr<InstrumentLink> openInstrumentLink(const ResourceName& resource, ViStatus* status) {
  switch (resource.kind) {
    case ResourceKind::kTcpipSocket: {
      auto stream =
          connectTcp(resource.host, resource.port, Deadline::afterMilliseconds(kConnectTimeoutMs), status);
      if (!stream) return nullptr;
      *status = VI_SUCCESS;
      return makeStreamLink(std::move(stream), socketLockKey(resource));
    }
    case ResourceKind::kTcpipInstr:
      return openVxi11Link(resource, status);
    case ResourceKind::kTcpipHislip:
      return openHislipLink(resource, status);
  }
  *status = VI_ERROR_RSRC_NFOUND;
  return nullptr;
}

}  // namespace tevra::platform::visa
