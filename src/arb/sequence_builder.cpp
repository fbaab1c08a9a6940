// The local sequence list and the exports that write sequence files and read them back.
#include <array>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fs/fs.h"
#include "src/arb/file_replacement.h"
#include "src/arb/sequence_file.h"
#include "src/core/frame.h"
#include "src/log/driver_logs.h"
#include "tevra.h"

namespace tevra::arb {
namespace {

constexpr int kMaxListEntries = 256;
constexpr size_t kListNameChars = 23;

struct LocalSequenceList {
  int count = 0;
  std::array<SequenceEntry, kMaxListEntries> entries;
};

LocalSequenceList& localList() {
  static LocalSequenceList list;
  return list;
}

const core::FrameInfo kCreateFrame{"ARBEx_CreateSequenceFile", -7942, log::StatEntry::kNone, false};
const core::FrameInfo kAddFrame{"ARBEx_SequenceFile_AddSegment", -7981, log::StatEntry::kNone, false};
const core::FrameInfo kSaveFrame{"ARBEx_SequenceFile_Save", -8088, log::StatEntry::kNone, false};
const core::FrameInfo kMakeFrame{"ARBEx_MakeSequenceFile", -8268, log::StatEntry::kNone, false};
const core::FrameInfo kListFrame{"ARBEx_GetSegmentList", -8120, log::StatEntry::kNone, false, false};

int32_t addSegment(const char* name, int32_t repetitions) {
  LocalSequenceList& list = localList();
  if (list.count >= kMaxListEntries) {
    return core::traceFailure(-7966, "ERR %d,exceed the max Segment names (max %d)", -7966, kMaxListEntries);
  }
  if (repetitions <= 0) return core::traceFailure(-7972, "ERR %d,Repetitions must be > 0", -7972);
  if (name == nullptr || *name == '\0') {
    return core::traceFailure(kAddFrame.failureCode, "ERR %d,empty Segment name", kAddFrame.failureCode);
  }
  SequenceEntry& entry = list.entries[list.count];
  entry.name.assign(name, strnlen(name, kListNameChars));
  entry.repetitions = static_cast<uint32_t>(repetitions);
  return ++list.count;
}

// Fixed and compact records keep 24 bits of the count; a larger count would play another number of times.
int32_t refuseWideRepetitions(int32_t code, std::string_view name, int64_t repetitions) {
  if (repetitions >= 1 && repetitions <= kMaxRecordRepetitions) return 0;
  return core::traceFailure(code, "ERR %d,Repetitions %lld of '%.*s' outside 1..%u", code,
                            static_cast<long long>(repetitions), static_cast<int>(name.size()), name.data(),
                            kMaxRecordRepetitions);
}

int32_t writeText(const FileReplacement& file, int32_t code, const std::string& bytes) {
  return file.write(code, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

int32_t saveList(const char* fileName) {
  const LocalSequenceList& list = localList();
  if (list.count < 1) return core::traceFailure(-8006, "ERR %d,empty Segment name list", -8006);
  const bool single = list.count == 1;
  for (int i = 0; !single && i < list.count; ++i) {
    const SequenceEntry& entry = list.entries[i];
    if (const int32_t refused = refuseWideRepetitions(-8080, entry.name, entry.repetitions)) return refused;
  }
  FileReplacement file(core::orEmpty(fileName));
  if (const int32_t failed = file.begin(-8026)) return failed;
  const int32_t recordCode = single ? -8064 : -8080;
  if (const int32_t failed = writeText(file, single ? -8053 : -8069, sequenceHeader(single))) return failed;
  for (int i = 0; i < list.count; ++i) {
    const SequenceEntry& entry = list.entries[i];
    const std::string record = single ? singleEntryRecord(entry.name, entry.repetitions)
                                      : fixedEntryRecord(entry.name, entry.repetitions);
    if (const int32_t failed = writeText(file, recordCode, record)) return failed;
  }
  if (const int32_t failed = file.commit(recordCode)) return failed;
  return list.count;
}

std::vector<std::string_view> splitNameList(const char* names) {
  std::vector<std::string_view> list;
  for (const char* p = names; p != nullptr && *p != '\0'; p += list.back().size() + 1) list.emplace_back(p);
  return list;
}

int32_t makeFile(const char* names, const int32_t* repetitions, const char* fileName) {
  const std::vector<std::string_view> list = splitNameList(names);
  const std::span<const int32_t> counts(repetitions, repetitions == nullptr ? 0 : list.size());
  if (counts.size() != list.size()) {
    return core::traceFailure(kMakeFrame.failureCode, "ERR %d,null repetitions", kMakeFrame.failureCode);
  }
  for (size_t i = 0; i < list.size(); ++i) {
    if (const int32_t refused = refuseWideRepetitions(-8258, list[i], counts[i])) return refused;
  }
  FileReplacement file(core::orEmpty(fileName));
  if (const int32_t failed = file.begin(-8227)) return failed;
  if (const int32_t failed = writeText(file, -8247, sequenceHeader(false))) return failed;
  for (size_t i = 0; i < list.size(); ++i) {
    const std::string record = compactEntryRecord(list[i], static_cast<uint32_t>(counts[i]));
    const size_t nameSize = record.size() - 13;
    const struct {
      int32_t code;
      size_t offset;
      size_t size;
    } parts[] = {{-8250, 0, 5}, {-8252, 5, nameSize}, {-8253, 5 + nameSize, 5}, {-8258, 10 + nameSize, 3}};
    for (const auto& part : parts) {
      if (const int32_t failed =
              file.write(part.code, record.data() + part.offset, static_cast<uint32_t>(part.size)))
        return failed;
    }
  }
  if (const int32_t failed = file.commit(-8258)) return failed;
  return static_cast<int32_t>(list.size());
}

// Copies read names into the caller's buffer: a name fits when its terminator and the list's final zero
// still fit within size.
class NameListWriter {
 public:
  NameListWriter(char* names, int32_t size, int32_t* repetitions)
      : names_(names), space_(static_cast<size_t>(size)), repetitions_(repetitions) {}
  ~NameListWriter() { names_[used_] = '\0'; }
  NameListWriter(const NameListWriter&) = delete;
  NameListWriter& operator=(const NameListWriter&) = delete;

  bool add(const SequenceEntry& entry) {
    if (entry.name.size() + 2 > space_ - used_) return false;
    std::memcpy(names_ + used_, entry.name.c_str(), entry.name.size() + 1);
    used_ += entry.name.size() + 1;
    repetitions_[count_++] = static_cast<int32_t>(entry.repetitions);
    return true;
  }
  int32_t count() const { return count_; }

 private:
  char* names_;
  size_t space_;
  size_t used_ = 0;
  int32_t* repetitions_;
  int32_t count_ = 0;
};

// Reads up to size bytes; 0 with size read, or code with a traced failure (a short read when wanted).
int32_t readBlock(int32_t code, platform::FileHandle file, char* data, uint32_t size, uint32_t& read) {
  if (!platform::ReadFile(file, data, size, &read)) return traceFileFailure(code, "read", "");
  return 0;
}

int32_t traceShortRead(int32_t code, size_t expected, size_t read) {
  return core::traceFailure(code, "ERR %d,read() failed, %d != %d", code, static_cast<int>(expected),
                            static_cast<int>(read));
}

int32_t readSingleEntry(platform::FileHandle file, NameListWriter& out) {
  char record[kSingleRecordSize];
  uint32_t read = 0;
  if (const int32_t failed = readBlock(-8148, file, record, sizeof record, read)) return failed;
  if (read < sizeof record) return traceShortRead(-8148, sizeof record, read);
  const std::string_view bytes(record, sizeof record);
  SequenceEntry entry{std::string(bytes.substr(5, strnlen(record + 5, kSingleRecordSize - 9))),
                      static_cast<uint32_t>(static_cast<unsigned char>(record[256])) << 24 |
                          static_cast<unsigned char>(record[257]) << 16 |
                          static_cast<unsigned char>(record[258]) << 8 |
                          static_cast<unsigned char>(record[259])};
  if (bytes.substr(0, 5) != "WFM1:" || entry.name.empty()) {
    return core::traceFailure(-8148, "ERR %d,record 1 is not a segment entry", -8148);
  }
  return out.add(entry) ? 1 : 0;
}

int32_t readListEntries(platform::FileHandle file, NameListWriter& out) {
  std::string pending;
  char block[4096];
  bool atEnd = false;
  while (true) {
    SequenceEntry entry;
    const int used = parseListRecord(pending, entry);
    if (used < 0) {
      return core::traceFailure(-8169, "ERR %d,record %d is not a segment entry", -8169, out.count() + 1);
    }
    if (used > 0) {
      if (!out.add(entry)) return out.count();
      pending.erase(0, static_cast<size_t>(used));
      continue;
    }
    if (atEnd) return pending.empty() ? out.count() : traceShortRead(-8169, kFixedRecordSize, pending.size());
    uint32_t read = 0;
    if (const int32_t failed = readBlock(-8169, file, block, sizeof block, read)) return failed;
    atEnd = read == 0;
    pending.append(block, read);
  }
}

int32_t segmentList(const char* fileName, char* names, int32_t size, int32_t* repetitions) {
  if (names == nullptr || repetitions == nullptr || size <= 0) {
    return core::traceFailure(-8120, "ERR %d,no room for the names (%d bytes) or repetitions", -8120,
                              static_cast<int>(size));
  }
  const ScopedFile file(
      platform::CreateFile(fileName, platform::kAccessRead, platform::Creation::kOpenExisting));
  if (!file.valid()) return traceFileFailure(-8120, "open", core::orEmpty(fileName));
  NameListWriter out(names, size, repetitions);
  char header[kSequenceHeaderSize];
  uint32_t read = 0;
  if (const int32_t failed = readBlock(-8143, file.get(), header, sizeof header, read)) return failed;
  if (read == 0) return 0;
  if (read < sizeof header) return traceShortRead(-8143, sizeof header, read);
  if (std::string_view(header, 4) == "\xB1\xA2\x93\x84") return readSingleEntry(file.get(), out);
  return readListEntries(file.get(), out);
}

}  // namespace
}  // namespace tevra::arb

using namespace tevra;

extern "C" TEVRA_API int32_t Tevra_ARBEx_CreateSequenceFile(void) {
  return core::framed(arb::kCreateFrame, [] {
    arb::localList().count = 0;
    return 0;
  });
}

extern "C" TEVRA_API int32_t Tevra_ARBEx_SequenceFile_AddSegment(const char* name, int32_t repetitions) {
  core::CallFrame frame(arb::kAddFrame);
  frame.start("'%s','%d'", core::orEmpty(name), static_cast<int>(repetitions));
  return frame.end(frame.guard([&] { return arb::addSegment(name, repetitions); }));
}

extern "C" TEVRA_API int32_t Tevra_ARBEx_SequenceFile_Save(const char* fileName) {
  core::CallFrame frame(arb::kSaveFrame);
  frame.start("'%s'", core::orEmpty(fileName));
  return frame.end(frame.guard([&] { return arb::saveList(fileName); }));
}

extern "C" TEVRA_API int32_t Tevra_ARBEx_MakeSequenceFile(const char* names, const int32_t* repetitions,
                                                          const char* fileName) {
  core::CallFrame frame(arb::kMakeFrame);
  const bool any = names != nullptr && *names != '\0' && repetitions != nullptr;
  frame.start("'%s,...','%d,...','%s'", core::orEmpty(names), any ? static_cast<int>(repetitions[0]) : 0,
              core::orEmpty(fileName));
  return frame.end(frame.guard([&] { return arb::makeFile(names, repetitions, fileName); }));
}

extern "C" TEVRA_API int32_t Tevra_ARBEx_GetSegmentList(const char* fileName, char* names, int32_t size,
                                                        int32_t* repetitions) {
  core::CallFrame frame(arb::kListFrame);
  frame.start("'%s'", core::orEmpty(fileName));
  return frame.end(frame.guard([&] { return arb::segmentList(fileName, names, size, repetitions); }));
}
