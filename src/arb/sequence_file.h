// Local sequence files: a 104-byte header and one "WFM1:" record per segment, numbers big-endian.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tevra::arb {

inline constexpr size_t kSequenceHeaderSize = 104;
inline constexpr size_t kSingleRecordSize = 260;
inline constexpr size_t kFixedRecordSize = 37;
inline constexpr size_t kFixedNameSize = 24;
inline constexpr uint32_t kMaxRecordRepetitions = 0xFFFFFF;  // the 24-bit count of fixed and compact records

// The header with the one-entry mark (B1 A2 93 84) or the list mark (54 09 75 E2).
std::string sequenceHeader(bool singleEntry);
std::string singleEntryRecord(std::string_view name, uint32_t repetitions);
std::string fixedEntryRecord(std::string_view name, uint32_t repetitions);
std::string compactEntryRecord(std::string_view name, uint32_t repetitions);

// One segment entry of a file.
struct SequenceEntry {
  std::string name;
  uint32_t repetitions = 0;
};

// Reads the records after a list header: fixed records, and the compact records the one-call builder writes.
// Returns the bytes the record at data takes (0: more bytes are needed, -1: not a segment record) and fills
// entry.
int parseListRecord(std::string_view data, SequenceEntry& entry);

}  // namespace tevra::arb
