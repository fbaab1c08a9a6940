// Feeds any bytes to the definite-length block reader with several length limits: an accepted block lies
// within the input, its payload has the announced length, and payload and rest make up the input after the
// header.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/visa/definite_block.h"

using namespace tevra::platform::visa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (uint64_t limit : {uint64_t{0}, uint64_t{16}, uint64_t{64} << 20}) {
    DefiniteBlock block;
    if (parseDefiniteBlock(text, limit, &block) != BlockStatus::kWhole) continue;
    const size_t header = definiteBlockHeader(block.payload.size()).size();
    const bool inside = block.payload.data() >= text.data() &&
                        block.rest.data() + block.rest.size() == text.data() + text.size();
    if (!inside || block.payload.size() > limit || header > size ||
        block.payload.size() + block.rest.size() + 2 + static_cast<size_t>(text[1] - '0') != size) {
      std::abort();
    }
  }
  return 0;
}
