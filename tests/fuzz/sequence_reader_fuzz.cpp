// Feeds any bytes as a sequence file to the driver's reader with name buffers of several exact sizes on the
// heap, so that a write past the given size is caught, and checks that what it reports fits what it wrote.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "tevra.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

std::string scratchFile() {
  return "/tmp/tevra_sequence_fuzz_" + std::to_string(::getpid()) + ".seq";
}

void readWithSize(const std::string& path, int32_t size) {
  auto names = std::make_unique<char[]>(static_cast<size_t>(size));
  auto counts = std::make_unique<int32_t[]>(static_cast<size_t>(size / 2 + 1));
  const int32_t result = Tevra_ARBEx_GetSegmentList(path.c_str(), names.get(), size, counts.get());
  if (result < 0) return;
  int32_t used = 0;
  for (int32_t i = 0; i < result; ++i) {
    const size_t length = strnlen(names.get() + used, static_cast<size_t>(size - used));
    check(length > 0 && used + static_cast<int32_t>(length) < size);
    used += static_cast<int32_t>(length) + 1;
  }
  check(used < size && names[used] == '\0');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = scratchFile();
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  const bool written = std::fwrite(data, 1, size, file) == size;
  std::fclose(file);
  if (written) {
    for (const int32_t bytes : {1, 2, 7, 40, 4096}) readWithSize(path, bytes);
  }
  std::remove(path.c_str());
  return 0;
}
