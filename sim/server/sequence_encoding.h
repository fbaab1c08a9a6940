// Sequence files as the server writes them for its sequence builders: the 104-byte header, then one
// entry in the single-entry layout, or fixed 37-byte records for two or more entries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tevra::q7730 {

struct SequenceEntry {
  std::string segment;  // at most kMaxSegmentName characters
  int32_t repetitions;  // 1 to kMaxRepetitions
};
using SequenceEntries = std::vector<SequenceEntry>;

inline constexpr size_t kMaxSegmentName = 23;
inline constexpr int32_t kMaxRepetitions = 0xFFFFFF;
inline constexpr size_t kMaxSequenceEntries = 256;

// Refuses (ServerFailure, E_INVALIDARG) an entry a record cannot hold or a list that is full.
void addSequenceEntry(SequenceEntries* entries, std::string segment, int32_t repetitions);
// The file's bytes; a ServerFailure for an empty list.
std::string encodeSequence(const SequenceEntries& entries);

}  // namespace tevra::q7730
