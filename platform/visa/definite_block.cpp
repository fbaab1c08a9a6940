#include "platform/visa/definite_block.h"

namespace tevra::platform::visa {

BlockStatus parseDefiniteBlock(std::string_view text, uint64_t maxLength, DefiniteBlock* block) {
  if (text.size() < 2 || text[0] != '#' || text[1] < '1' || text[1] > '9') return BlockStatus::kNotABlock;
  const size_t digits = static_cast<size_t>(text[1] - '0');
  if (text.size() < 2 + digits) return BlockStatus::kTruncated;
  uint64_t length = 0;
  for (size_t i = 0; i < digits; ++i) {
    const char c = text[2 + i];
    if (c < '0' || c > '9') return BlockStatus::kNotABlock;
    // Nine digits cannot overflow 64 bits.
    length = length * 10 + static_cast<uint64_t>(c - '0');
  }
  if (length > maxLength) return BlockStatus::kTooLong;
  const std::string_view after = text.substr(2 + digits);
  if (after.size() < length) return BlockStatus::kTruncated;
  block->payload = after.substr(0, length);
  block->rest = after.substr(length);
  return BlockStatus::kWhole;
}

std::string definiteBlockHeader(uint64_t length) {
  const std::string digits = std::to_string(length);
  return "#" + std::to_string(digits.size()) + digits;
}

}  // namespace tevra::platform::visa
