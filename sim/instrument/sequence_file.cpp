#include "sim/instrument/sequence_file.h"

#include <array>

namespace tevra::sim {
namespace {

constexpr size_t kHeaderSize = 104;
constexpr std::array<uint8_t, 4> kSingleEntryMark = {0xB1, 0xA2, 0x93, 0x84};
constexpr std::array<uint8_t, 4> kListMark = {0x54, 0x09, 0x75, 0xE2};
constexpr std::string_view kRecordStart = "WFM1:";
constexpr size_t kSingleRecordSize = 260;
constexpr size_t kSingleNameField = 251;
constexpr size_t kListNameField = 24;
constexpr uint8_t kRepetitionMark = 0xF0;

uint8_t byteAt(std::string_view bytes, size_t at) {
  return static_cast<uint8_t>(bytes[at]);
}

bool hasMark(std::string_view bytes, const std::array<uint8_t, 4>& mark) {
  for (size_t i = 0; i < mark.size(); ++i) {
    if (byteAt(bytes, i) != mark[i]) return false;
  }
  return true;
}

uint32_t bigEndian(std::string_view bytes, size_t at, size_t count) {
  uint32_t value = 0;
  for (size_t i = 0; i < count; ++i) value = (value << 8) | byteAt(bytes, at + i);
  return value;
}

std::optional<std::vector<SequenceEntry>> parseSingleEntry(std::string_view records) {
  if (records.size() != kSingleRecordSize || records.substr(0, kRecordStart.size()) != kRecordStart) {
    return std::nullopt;
  }
  std::string_view field = records.substr(kRecordStart.size(), kSingleNameField);
  SequenceEntry entry;
  entry.segment = std::string(field.substr(0, field.find('\0')));
  entry.repetitions = bigEndian(records, kRecordStart.size() + kSingleNameField, 4);
  if (entry.segment.empty() || entry.repetitions == 0) return std::nullopt;
  return std::vector<SequenceEntry>{entry};
}

// Fixed records (name zero-terminated in a 24-byte field padded with FF) and compact records (the name
// alone) both put FF bytes and then F0 before the three bytes of repetitions.
std::optional<std::vector<SequenceEntry>> parseListRecords(std::string_view records) {
  std::vector<SequenceEntry> entries;
  size_t pos = 0;
  while (pos < records.size()) {
    if (records.substr(pos, kRecordStart.size()) != kRecordStart) return std::nullopt;
    pos += kRecordStart.size();
    SequenceEntry entry;
    while (pos < records.size() && byteAt(records, pos) != 0x00 && byteAt(records, pos) != 0xFF &&
           entry.segment.size() < kListNameField) {
      entry.segment.push_back(records[pos++]);
    }
    size_t padEnd = pos + kListNameField + 4;
    while (pos < records.size() && pos < padEnd &&
           (byteAt(records, pos) == 0x00 || byteAt(records, pos) == 0xFF)) {
      ++pos;
    }
    if (pos + 4 > records.size() || byteAt(records, pos) != kRepetitionMark) return std::nullopt;
    entry.repetitions = bigEndian(records, pos + 1, 3);
    pos += 4;
    if (entry.segment.empty() || entry.repetitions == 0) return std::nullopt;
    entries.push_back(std::move(entry));
  }
  if (entries.empty()) return std::nullopt;
  return entries;
}

std::string header(const std::array<uint8_t, 4>& mark) {
  static constexpr uint8_t kTail[] = {
      0xBF, 0xF0, 0, 0, 0,    0,    0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xBF, 0xF0, 0, 0,
      0,    0,    0, 0, 0xBF, 0xF0, 0, 0, 0,    0,    0,    0,    0xBF, 0x80, 0,    0,    0xBF, 0x80, 0, 0,
      0xBF, 0x80, 0, 0, 0xBF, 0x80, 0, 0, 0xFF, 0xFF, 0xFF, 0,    0xFF, 0xFF, 0,    0};
  static_assert(sizeof kTail == kHeaderSize - 48);
  std::string bytes(mark.begin(), mark.end());
  bytes.append(44, '\0');
  bytes.append(std::begin(kTail), std::end(kTail));
  return bytes;
}

}  // namespace

std::optional<std::vector<SequenceEntry>> parseSequenceFile(std::string_view bytes) {
  if (bytes.size() <= kHeaderSize) return std::nullopt;
  std::string_view records = bytes.substr(kHeaderSize);
  if (hasMark(bytes, kSingleEntryMark)) return parseSingleEntry(records);
  if (hasMark(bytes, kListMark)) return parseListRecords(records);
  return std::nullopt;
}

std::string encodeSingleEntrySequence(const SequenceEntry& entry) {
  std::string bytes = header(kSingleEntryMark);
  bytes.append(kRecordStart);
  std::string name = entry.segment.substr(0, kSingleNameField - 1);
  bytes.append(name);
  bytes.append(kSingleNameField - name.size(), '\0');
  for (int shift = 24; shift >= 0; shift -= 8)
    bytes.push_back(static_cast<char>((entry.repetitions >> shift) & 0xFF));
  return bytes;
}

}  // namespace tevra::sim
