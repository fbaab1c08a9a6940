#include "platform/visa/hislip_message.h"

#include <cstring>

namespace tevra::platform::visa::hislip {
namespace {

void putBigEndian(std::string& out, uint64_t value, int bytes) {
  for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) out.push_back(static_cast<char>(value >> shift));
}

uint64_t bigEndian(const char* data, int bytes) {
  uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) value = (value << 8) | static_cast<uint8_t>(data[i]);
  return value;
}

}  // namespace

std::string encode(uint8_t type, uint8_t control, uint32_t parameter, std::string_view payload) {
  std::string out;
  out.reserve(kHeaderSize + payload.size());
  out += "HS";
  out.push_back(static_cast<char>(type));
  out.push_back(static_cast<char>(control));
  putBigEndian(out, parameter, 4);
  putBigEndian(out, payload.size(), 8);
  out += payload;
  return out;
}

std::string encodeSize(uint64_t size) {
  std::string out;
  putBigEndian(out, size, 8);
  return out;
}

uint64_t decodeSize(std::string_view payload) {
  return payload.size() == 8 ? bigEndian(payload.data(), 8) : 0;
}

Reader::Result Reader::next(Message* message) {
  size_t available = filled_ - consumed_;
  if (available < kHeaderSize) return Result::kNeedMore;
  const char* header = buffer_.data() + consumed_;
  if (header[0] != 'H' || header[1] != 'S') return Result::kInvalid;
  uint64_t length = bigEndian(header + 8, 8);
  if (length > maxPayload_) return Result::kInvalid;
  if (available - kHeaderSize < length) return Result::kNeedMore;
  message->type = static_cast<uint8_t>(header[2]);
  message->control = static_cast<uint8_t>(header[3]);
  message->parameter = static_cast<uint32_t>(bigEndian(header + 4, 4));
  message->payload.assign(header + kHeaderSize, static_cast<size_t>(length));
  consumed_ += kHeaderSize + static_cast<size_t>(length);
  if (consumed_ == filled_) filled_ = consumed_ = 0;
  return Result::kMessage;
}

void Reader::append(const char* data, size_t size) {
  std::memcpy(reserve(size), data, size);
  commit(size);
}

// The storage grows only when the bytes held and size do not fit, so a steady stream allocates nothing.
char* Reader::reserve(size_t size) {
  compact();
  if (buffer_.size() - filled_ < size) buffer_.resize(filled_ + size);
  return buffer_.data() + filled_;
}

// Moves the bytes held to the front once those already handed out are the larger part.
void Reader::compact() {
  if (consumed_ == 0 || consumed_ < filled_ - consumed_) return;
  std::memmove(buffer_.data(), buffer_.data() + consumed_, filled_ - consumed_);
  filled_ -= consumed_;
  consumed_ = 0;
}

}  // namespace tevra::platform::visa::hislip
