// The rate 1/2, constraint length 7 convolutional code of the OFDM and HT PHYs (generators 133 and 171
// octal), its puncturing to 2/3, 3/4 and 5/6, and a soft-decision Viterbi decoder for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tevra::dsp {

using Bits = std::vector<uint8_t>;

// Appends the count low bits of value, least significant first, as header fields are sent.
inline void appendLsbFirst(Bits& bits, unsigned value, size_t count) {
  for (size_t i = 0; i < count; ++i) bits.push_back(static_cast<uint8_t>((value >> i) & 1));
}

// Reads count bits from at, least significant first.
inline unsigned readLsbFirst(const Bits& bits, size_t at, size_t count) {
  unsigned value = 0;
  for (size_t i = 0; i < count; ++i) value |= static_cast<unsigned>(bits[at + i] & 1) << i;
  return value;
}

enum class CodeRate { kHalf, kTwoThirds, kThreeQuarters, kFiveSixths };

// A then B for each input bit, from the all-zero state.
Bits convolutionalEncode(const Bits& bits);
Bits puncture(const Bits& coded, CodeRate rate);
// Puts zero soft values (erasures) back where puncturing removed bits.
std::vector<double> depuncture(const std::vector<double>& soft, CodeRate rate);
// Soft values: positive for a 1, negative for a 0, magnitude the confidence. Decodes soft.size()/2 bits,
// ending in the state with the fewest errors.
Bits viterbiDecode(const std::vector<double>& soft);

}  // namespace tevra::dsp
