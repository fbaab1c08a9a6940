// The driver's readers of instrument replies and resource lists, on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "src/visa/scpi_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<char> buffer(data, data + size);
  buffer.push_back('\0');
  tevra::visa::leadingInteger(buffer.data(), size);
  tevra::visa::extractErrorMessage(buffer.data(), size, buffer.size());
  const std::string list(reinterpret_cast<const char*>(data), size);
  char field[16];
  for (int32_t index = 0; index < 3; ++index)
    tevra::visa::getListField(list.c_str(), index, field, sizeof field);
  tevra::visa::isSafeScpiName(list.c_str());
  return 0;
}
