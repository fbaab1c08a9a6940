#include "src/arb/sequence_file.h"

#include <algorithm>
#include <cstring>

namespace tevra::arb {
namespace {

constexpr std::string_view kRecordMark = "WFM1:";
constexpr std::string_view kCountMark = "\xFF\xFF\xFF\xFF\xF0";

void appendBigEndian(std::string& out, uint32_t value, int bytes) {
  for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) out.push_back(static_cast<char>(value >> shift));
}

uint32_t bigEndian(std::string_view bytes) {
  uint32_t value = 0;
  for (const char c : bytes) value = value << 8 | static_cast<unsigned char>(c);
  return value;
}

}  // namespace

std::string sequenceHeader(bool singleEntry) {
  std::string header = singleEntry ? "\xB1\xA2\x93\x84" : "\x54\x09\x75\xE2";
  header.resize(48, '\0');
  const std::string_view minusOne("\xBF\xF0\0\0\0\0\0\0", 8);
  header.append(minusOne);
  header.append(8, '\xFF');
  header.append(minusOne);
  header.append(minusOne);
  for (int i = 0; i < 4; ++i) header.append(std::string_view("\xBF\x80\0\0", 4));
  header.append(std::string_view("\xFF\xFF\xFF\0\xFF\xFF\0\0", 8));
  return header;
}

std::string singleEntryRecord(std::string_view name, uint32_t repetitions) {
  std::string record(kRecordMark);
  record.append(name.substr(0, kSingleRecordSize - 10));
  record.resize(kSingleRecordSize - 4, '\0');
  appendBigEndian(record, repetitions, 4);
  return record;
}

std::string fixedEntryRecord(std::string_view name, uint32_t repetitions) {
  std::string record(kRecordMark);
  record.append(name.substr(0, kFixedNameSize - 1));
  record.push_back('\0');
  record.resize(kRecordMark.size() + kFixedNameSize, '\xFF');
  record.append(kCountMark);
  appendBigEndian(record, repetitions, 3);
  return record;
}

std::string compactEntryRecord(std::string_view name, uint32_t repetitions) {
  std::string record(kRecordMark);
  record.append(name.substr(0, kFixedNameSize));
  record.append(kCountMark);
  appendBigEndian(record, repetitions, 3);
  return record;
}

// A name ends at its terminator (a fixed record, padded to 24 bytes) or at the count mark (a compact record,
// or a fixed record whose name fills all 24 bytes). Empty names are refused: they would end a name list.
int parseListRecord(std::string_view data, SequenceEntry& entry) {
  const size_t nameStart = kRecordMark.size();
  const size_t want = std::min(data.size(), nameStart + kFixedNameSize + kCountMark.size() + 3);
  const std::string_view head = data.substr(0, want);
  if (head.substr(0, std::min(head.size(), nameStart)) !=
      kRecordMark.substr(0, std::min(head.size(), nameStart)))
    return -1;
  const std::string_view field = head.substr(std::min(head.size(), nameStart), kFixedNameSize);
  size_t end = field.find_first_of(std::string_view("\0\xFF", 2));
  if (end == std::string_view::npos) {
    if (field.size() < kFixedNameSize) return 0;
    end = kFixedNameSize;
  }
  if (end == 0) return -1;
  const bool terminated = end < field.size() && field[end] == '\0';
  const size_t countStart = nameStart + (terminated ? kFixedNameSize : end);
  if (terminated && field.size() < kFixedNameSize) return 0;
  if (terminated && field.substr(end + 1).find_first_not_of('\xFF') != std::string_view::npos) return -1;
  const size_t size = countStart + kCountMark.size() + 3;
  if (head.size() < size) {
    const std::string_view seen = head.substr(countStart);
    return kCountMark.substr(0, std::min(seen.size(), kCountMark.size())) ==
                   seen.substr(0, std::min(seen.size(), kCountMark.size()))
               ? 0
               : -1;
  }
  if (head.substr(countStart, kCountMark.size()) != kCountMark) return -1;
  entry.name.assign(field.substr(0, end));
  entry.repetitions = bigEndian(head.substr(countStart + kCountMark.size(), 3));
  return static_cast<int>(size);
}

}  // namespace tevra::arb
