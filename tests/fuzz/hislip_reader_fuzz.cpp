// The HiSLIP message reader on arbitrary bytes, arriving in two pieces.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/visa/hislip_message.h"

using namespace tevra::platform::visa::hislip;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader reader(4096);
  size_t half = size / 2;
  const char* bytes = reinterpret_cast<const char*>(data);
  reader.append(bytes, half);
  Message message;
  while (reader.next(&message) == Reader::Result::kMessage) {
  }
  std::memcpy(reader.reserve(size - half), bytes + half, size - half);
  reader.commit(size - half);
  while (reader.next(&message) == Reader::Result::kMessage) {
  }
  decodeSize(message.payload);
  return 0;
}
