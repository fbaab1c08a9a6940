#include "sim/server/sequence_encoding.h"

#include <initializer_list>

#include "sim/server/server_failure.h"

namespace tevra::q7730 {
namespace {

constexpr unsigned char kSingleEntryMark[] = {0xB1, 0xA2, 0x93, 0x84};
constexpr unsigned char kRecordsMark[] = {0x54, 0x09, 0x75, 0xE2};
constexpr size_t kSingleNameField = 251;
constexpr size_t kFixedNameField = 24;

void append(std::string* bytes, std::initializer_list<unsigned char> values) {
  for (unsigned char value : values) bytes->push_back(static_cast<char>(value));
}

std::string header(const unsigned char (&mark)[4]) {
  std::string bytes(mark, mark + 4);
  bytes.resize(48, '\0');
  const std::initializer_list<unsigned char> minusOne = {0xBF, 0xF0, 0, 0, 0, 0, 0, 0};
  append(&bytes, minusOne);
  append(&bytes, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  append(&bytes, minusOne);
  append(&bytes, minusOne);
  for (int i = 0; i < 4; ++i) append(&bytes, {0xBF, 0x80, 0x00, 0x00});
  append(&bytes, {0xFF, 0xFF, 0xFF, 0x00, 0xFF, 0xFF, 0x00, 0x00});
  return bytes;
}

void appendName(std::string* bytes, const std::string& name, size_t field, char padding) {
  bytes->append(name);
  bytes->push_back('\0');
  bytes->append(field - name.size() - 1, padding);
}

}  // namespace

void addSequenceEntry(SequenceEntries* entries, std::string segment, int32_t repetitions) {
  if (segment.empty() || segment.size() > kMaxSegmentName) {
    failf(platform::E_INVALIDARG, "segment name of %zu characters (1 to %zu)", segment.size(),
          kMaxSegmentName);
  }
  if (repetitions < 1 || repetitions > kMaxRepetitions) {
    failf(platform::E_INVALIDARG, "repetitions %d out of range (1 to %d)", static_cast<int>(repetitions),
          static_cast<int>(kMaxRepetitions));
  }
  if (entries->size() >= kMaxSequenceEntries) {
    failf(platform::E_INVALIDARG, "the sequence list is full (%zu entries)", kMaxSequenceEntries);
  }
  entries->push_back({std::move(segment), repetitions});
}

std::string encodeSequence(const SequenceEntries& entries) {
  if (entries.empty()) fail(platform::E_FAIL, "the sequence list is empty");
  const bool single = entries.size() == 1;
  std::string bytes = header(single ? kSingleEntryMark : kRecordsMark);
  for (const SequenceEntry& entry : entries) {
    const auto count = static_cast<uint32_t>(entry.repetitions);
    bytes += "WFM1:";
    if (single) {
      appendName(&bytes, entry.segment, kSingleNameField, '\0');
      append(&bytes, {static_cast<unsigned char>(count >> 24), static_cast<unsigned char>(count >> 16),
                      static_cast<unsigned char>(count >> 8), static_cast<unsigned char>(count)});
    } else {
      appendName(&bytes, entry.segment, kFixedNameField, '\xFF');
      append(&bytes, {0xFF, 0xFF, 0xFF, 0xFF, 0xF0, static_cast<unsigned char>(count >> 16),
                      static_cast<unsigned char>(count >> 8), static_cast<unsigned char>(count)});
    }
  }
  return bytes;
}

}  // namespace tevra::q7730
