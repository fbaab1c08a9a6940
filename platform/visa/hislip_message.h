// HiSLIP messages (IVI-6.1): a 16-byte header ("HS", type, control code, a 32-bit parameter and a 64-bit
// payload length, big-endian) and the payload. The reader takes bytes as they arrive and hands out whole
// messages, so that a wait that ends in the middle of one loses nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tevra::platform::visa::hislip {

enum Type : uint8_t {
  kInitialize = 0,
  kInitializeResponse = 1,
  kFatalError = 2,
  kError = 3,
  kAsyncLock = 4,
  kAsyncLockResponse = 5,
  kData = 6,
  kDataEnd = 7,
  kDeviceClearComplete = 8,
  kDeviceClearAcknowledge = 9,
  kAsyncRemoteLocalControl = 10,
  kAsyncRemoteLocalResponse = 11,
  kTrigger = 12,
  kInterrupted = 13,
  kAsyncInterrupted = 14,
  kAsyncMaximumMessageSize = 15,
  kAsyncMaximumMessageSizeResponse = 16,
  kAsyncInitialize = 17,
  kAsyncInitializeResponse = 18,
  kAsyncDeviceClear = 19,
  kAsyncServiceRequest = 20,
  kAsyncStatusQuery = 21,
  kAsyncStatusResponse = 22,
  kAsyncDeviceClearAcknowledge = 23,
};

inline constexpr size_t kHeaderSize = 16;
inline constexpr uint16_t kProtocolVersion = 0x0100;
// The first message id of a session and after a device clear; ids go up by 2 per message.
inline constexpr uint32_t kFirstMessageId = 0xFFFFFF00U;
// Fatal error codes.
inline constexpr uint8_t kFatalUnidentified = 0;
inline constexpr uint8_t kFatalPoorlyFormedHeader = 1;
inline constexpr uint8_t kFatalInvalidInitialization = 3;
inline constexpr uint8_t kFatalMessageTooLarge = 5;

struct Message {
  uint8_t type = 0;
  uint8_t control = 0;
  uint32_t parameter = 0;
  std::string payload;
};

std::string encode(uint8_t type, uint8_t control, uint32_t parameter, std::string_view payload = {});
// The 64-bit big-endian number of an AsyncMaximumMessageSize payload.
std::string encodeSize(uint64_t size);
// The number of such a payload; 0 when it is not 8 bytes.
uint64_t decodeSize(std::string_view payload);

class Reader {
 public:
  enum class Result { kMessage, kNeedMore, kInvalid };

  explicit Reader(uint64_t maxPayload) : maxPayload_(maxPayload) {}

  void append(const char* data, size_t size);
  // The next whole message; kInvalid for a header without "HS" or with a payload longer than the bound.
  Result next(Message* message);
  // Room after the bytes held for up to size bytes, to receive into; commit(count) keeps them.
  char* reserve(size_t size);
  void commit(size_t count) { filled_ += count; }

 private:
  void compact();

  uint64_t maxPayload_;
  std::string buffer_;  // storage: its size only grows, the bytes held are [consumed_, filled_)
  size_t filled_ = 0;
  size_t consumed_ = 0;
};

}  // namespace tevra::platform::visa::hislip
