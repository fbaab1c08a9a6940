#include "sim/vxi11/record_stream.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "sim/net/loopback_listener.h"

namespace tevra::sim::vxi11 {
namespace {

constexpr uint32_t kLastFragment = 0x80000000u;
constexpr size_t kMaxFragmentSize = 0x7FFFFFFFu;

bool receiveAll(int fd, char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::recv(fd, data, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

RecordStatus readRecord(int fd, size_t maxSize, std::string* record) {
  record->clear();
  for (;;) {
    uint32_t header = 0;
    if (!receiveAll(fd, reinterpret_cast<char*>(&header), sizeof header)) return RecordStatus::kClosed;
    header = ntohl(header);
    size_t length = header & ~kLastFragment;
    if (length > maxSize - record->size()) return RecordStatus::kTooLong;
    size_t start = record->size();
    record->resize(start + length);
    if (!receiveAll(fd, record->data() + start, length)) return RecordStatus::kClosed;
    if ((header & kLastFragment) != 0) return RecordStatus::kRecord;
  }
}

bool writeRecord(int fd, const std::string& record) {
  if (record.size() > kMaxFragmentSize) return false;
  uint32_t header = htonl(kLastFragment | static_cast<uint32_t>(record.size()));
  // One buffer and one send, so that a small reply leaves in one segment.
  std::string framed(sizeof header, '\0');
  std::memcpy(framed.data(), &header, sizeof header);
  framed += record;
  return sendAll(fd, framed.data(), framed.size());
}

}  // namespace tevra::sim::vxi11
