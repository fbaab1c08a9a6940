#include "sim/instrument/generator_memory.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <numbers>
#include <stdexcept>
#include <system_error>

#include "platform/fs/fs.h"
#include "sim/instrument/sequence_file.h"
#include "sim/scpi/block_spool.h"
#include "sim/scpi/scpi_error.h"

namespace tevra::sim {
namespace {

namespace fs = std::filesystem;
using scpi::ScpiError;
namespace errc = scpi::errc;

constexpr size_t kMaxNameLength = 128;
constexpr size_t kToneSamples = 4000;
constexpr size_t kTonePeriods = 100;
constexpr double kToneAmplitude = 16384.0;

std::string lowerCase(std::string_view text) {
  std::string result;
  for (char c : text) result.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  return result;
}

bool endsWithNoCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && lowerCase(text.substr(text.size() - suffix.size())) == suffix;
}

std::string withExtension(std::string_view name, std::string_view extension) {
  if (endsWithNoCase(name, extension)) return std::string(name);
  return std::string(name) + std::string(extension);
}

void appendBigEndian16(std::string* bytes, int16_t value) {
  auto bits = static_cast<uint16_t>(value);
  bytes->push_back(static_cast<char>(bits >> 8));
  bytes->push_back(static_cast<char>(bits & 0xFF));
}

void checkSize(std::string_view name, uint64_t size) {
  if (size > GeneratorMemory::kMaxFileSize) throw ScpiError{errc::kMassStorageError, "file too large"};
  if (endsWithNoCase(name, ".wf1") && (size == 0 || size % 4 != 0)) {
    throw ScpiError{errc::kIllegalParameterValue, "segment size is not a whole number of IQ samples"};
  }
}

void checkContents(std::string_view name, std::string_view bytes) {
  checkSize(name, bytes.size());
  if (endsWithNoCase(name, ".seq") && !parseSequenceFile(bytes)) {
    throw ScpiError{errc::kIllegalParameterValue, "not a sequence file"};
  }
}

// Writes beside the target and renames, so that a failed write never leaves a damaged file.
bool writeWhole(const fs::path& target, std::string_view bytes) {
  fs::path partial = target.parent_path() / ("." + target.filename().string() + ".partial");
  return platform::WriteFileWhole(target.string(), partial.string(), bytes) == platform::WholeWrite::kWritten;
}

}  // namespace

bool isValidMemoryName(std::string_view name) {
  if (name.empty() || name.size() > kMaxNameLength || name.front() == '.') return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '+' || c == '.';
  });
}

std::string makeToneSegment() {
  std::string bytes;
  bytes.reserve(kToneSamples * 4);
  for (size_t n = 0; n < kToneSamples; ++n) {
    double phase =
        2.0 * std::numbers::pi * static_cast<double>(kTonePeriods * n) / static_cast<double>(kToneSamples);
    appendBigEndian16(&bytes, static_cast<int16_t>(std::lround(kToneAmplitude * std::cos(phase))));
    appendBigEndian16(&bytes, static_cast<int16_t>(std::lround(kToneAmplitude * std::sin(phase))));
  }
  return bytes;
}

GeneratorMemory::GeneratorMemory(fs::path folder, bool seeded) : folder_(std::move(folder)) {
  std::error_code error;
  fs::create_directories(folder_, error);
  if (!fs::is_directory(folder_, error))
    throw std::runtime_error("cannot use storage folder " + folder_.string());
  for (const auto& entry : fs::directory_iterator(folder_, error)) {
    std::string name = entry.path().filename().string();
    if (entry.is_regular_file() && isValidMemoryName(name)) index_[lowerCase(name)] = name;
  }
  if (error) throw std::runtime_error("cannot read storage folder " + folder_.string());
  if (seeded) seedBuiltins();
}

GeneratorMemory& GeneratorMemory::volume(std::string_view name) {
  if (name.empty()) return *this;
  for (const char* known : kVolumes) {
    if (lowerCase(name) != lowerCase(known)) continue;
    auto& held = volumes_[known];
    if (!held) {
      try {
        held = std::make_unique<GeneratorMemory>(folder_ / known, false);
      } catch (const std::runtime_error&) {
        throw ScpiError{errc::kMassStorageError, "cannot use volume " + std::string(known)};
      }
    }
    return *held;
  }
  throw ScpiError{errc::kFileNameError, "no volume " + std::string(name)};
}

void GeneratorMemory::seedBuiltins() {
  std::string sequence = encodeSingleEntrySequence({"CW_TONE", 1});
  for (const auto& [name, bytes] :
       {std::pair{kToneSegment, makeToneSegment()}, std::pair{kToneSequence, sequence}}) {
    if (index_.count(lowerCase(name)) != 0) continue;
    if (!writeWhole(folder_ / name, bytes))
      throw std::runtime_error("cannot write " + (folder_ / name).string());
    index_[lowerCase(name)] = name;
  }
}

const std::string& GeneratorMemory::storedName(std::string_view name) const {
  auto it = index_.find(lowerCase(name));
  if (it == index_.end()) throw ScpiError{errc::kFileNameNotFound, std::string(name)};
  return it->second;
}

std::string GeneratorMemory::storeTarget(std::string_view name) const {
  auto it = index_.find(lowerCase(name));
  return it != index_.end() ? it->second : std::string(name);
}

void GeneratorMemory::store(std::string_view name, std::string_view bytes) {
  if (!isValidMemoryName(name)) throw ScpiError{errc::kFileNameError, std::string(name)};
  checkContents(name, bytes);
  std::string target = storeTarget(name);
  if (!writeWhole(folder_ / target, bytes)) throw ScpiError{errc::kMassStorageError, "write failed"};
  index_[lowerCase(name)] = target;
}

void GeneratorMemory::store(std::string_view name, scpi::BlockSpool& spool) {
  if (!isValidMemoryName(name)) throw ScpiError{errc::kFileNameError, std::string(name)};
  if (!spool.good()) throw ScpiError{errc::kMassStorageError, "write failed"};
  // A sequence file's contents are checked record by record: it is read back (sequences are small).
  if (endsWithNoCase(name, ".seq")) {
    store(name, spool.contents());
    return;
  }
  checkSize(name, spool.size());
  std::string target = storeTarget(name);
  if (!spool.moveTo(folder_ / target)) throw ScpiError{errc::kMassStorageError, "write failed"};
  index_[lowerCase(name)] = target;
}

std::string GeneratorMemory::load(std::string_view name) const {
  if (!isValidMemoryName(name)) throw ScpiError{errc::kFileNameError, std::string(name)};
  std::ifstream in(folder_ / storedName(name), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw ScpiError{errc::kMassStorageError, "read failed"};
  return bytes;
}

void GeneratorMemory::remove(std::string_view name) {
  if (!isValidMemoryName(name)) throw ScpiError{errc::kFileNameError, std::string(name)};
  std::string stored = storedName(name);
  std::error_code error;
  fs::remove(folder_ / stored, error);
  if (error) throw ScpiError{errc::kMassStorageError, "delete failed"};
  index_.erase(lowerCase(name));
}

std::vector<std::string> GeneratorMemory::names() const {
  std::vector<std::string> result;
  for (const auto& [key, name] : index_) result.push_back(name);
  return result;
}

uint64_t GeneratorMemory::freeBytes() const {
  uint64_t used = 0;
  for (const auto& [key, name] : index_) {
    std::error_code error;
    const auto size = fs::file_size(folder_ / name, error);
    if (!error) used += size;
  }
  return used < kCapacityBytes ? kCapacityBytes - used : 0;
}

uint64_t GeneratorMemory::samplesOfSegment(std::string_view name) const {
  std::string file = withExtension(name, ".wf1");
  if (!isValidMemoryName(file)) throw ScpiError{errc::kFileNameError, std::string(name)};
  std::error_code error;
  auto size = fs::file_size(folder_ / storedName(file), error);
  if (error) throw ScpiError{errc::kFileNameNotFound, file};
  return size / 4;
}

std::vector<PlayedSegment> GeneratorMemory::playList(std::string_view selection) const {
  auto colon = selection.find(':');
  if (colon == std::string_view::npos) throw ScpiError{errc::kIllegalParameterValue, std::string(selection)};
  std::string kind = lowerCase(selection.substr(0, colon));
  std::string_view name = selection.substr(colon + 1);
  if (kind == "wfm1") return {{withExtension(name, ".wf1"), 1}};
  if (kind != "seq") throw ScpiError{errc::kIllegalParameterValue, std::string(selection)};
  std::string file = withExtension(name, ".seq");
  auto entries = parseSequenceFile(load(file));
  if (!entries) throw ScpiError{errc::kIllegalParameterValue, "not a sequence file: " + file};
  std::vector<PlayedSegment> list;
  for (const auto& entry : *entries)
    list.push_back({withExtension(entry.segment, ".wf1"), entry.repetitions});
  return list;
}

uint64_t GeneratorMemory::samplesOfWaveform(std::string_view selection) const {
  uint64_t total = 0;
  for (const PlayedSegment& played : playList(selection))
    total += samplesOfSegment(played.file) * played.repetitions;
  return total;
}

}  // namespace tevra::sim
