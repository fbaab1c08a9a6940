// IEEE 488.2 definite-length blocks: "#", one digit n (1 to 9), n digits of length, then that many bytes of
// any value. Used for file transfers, whose payload may hold any byte, the terminator included.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tevra::platform::visa {

enum class BlockStatus {
  kWhole,      // payload and rest are set
  kNotABlock,  // the text does not begin with a block header
  kTruncated,  // fewer bytes than the header announces
  kTooLong,    // the announced length is above the caller's limit
};

struct DefiniteBlock {
  std::string_view payload;
  std::string_view rest;  // what follows the block
};

// Reads the block at the start of text without copying it; never reads past text.
BlockStatus parseDefiniteBlock(std::string_view text, uint64_t maxLength, DefiniteBlock* block);

// "#<n><length>" for a payload of length bytes.
std::string definiteBlockHeader(uint64_t length);

}  // namespace tevra::platform::visa
