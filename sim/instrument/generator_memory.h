// The waveform generator's memory: segment files (".wf1", big-endian 16-bit I and Q per sample) and
// sequence files (".seq") kept as files in the storage folder, so that they outlive the simulator. Names
// compare without regard to case, as on the instrument. A new folder is seeded with a CW tone segment and
// a sequence that plays it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tevra::sim {
namespace scpi {
class BlockSpool;
}

// One entry of what a selection plays: a segment file of the memory and how many times in a row.
struct PlayedSegment {
  std::string file;
  uint64_t repetitions = 0;
};

class GeneratorMemory {
 public:
  static constexpr const char* kToneSegment = "CW_TONE.wf1";
  static constexpr const char* kToneSequence = "CW_TONE.seq";
  static constexpr size_t kMaxFileSize = 64u << 20;
  // The waveform memory's size; what the stored files leave of it is reported as free.
  static constexpr uint64_t kCapacityBytes = uint64_t{256} << 20;

  // The volumes besides the waveform memory, addressed as "<volume>:<name>": markers, and the non-volatile
  // storage's segments and markers.
  static constexpr const char* kVolumes[] = {"MKR", "NVWFM", "NVMKR"};

  // Creates the folder when needed and seeds the built-in waveforms that are missing (unless seeded is
  // false); throws std::runtime_error when the folder cannot be used.
  explicit GeneratorMemory(std::filesystem::path folder, bool seeded = true);

  // The volume of that name (one of kVolumes, any case; a subfolder of this memory's folder), or this
  // memory for an empty name; ScpiError for another name.
  GeneratorMemory& volume(std::string_view name);

  // Stores a file, replacing one of the same name; ScpiError for a bad name, bad contents or a failed write.
  void store(std::string_view name, std::string_view bytes);
  // The same with the contents received into a spool file, which is moved into place.
  void store(std::string_view name, scpi::BlockSpool& spool);
  std::string load(std::string_view name) const;
  void remove(std::string_view name);
  std::vector<std::string> names() const;
  // kCapacityBytes less the size of the stored files, 0 when they fill it.
  uint64_t freeBytes() const;

  // The samples that one pass of "SEQ:<name>" or "WFM1:<name>" plays (an extension may be left out).
  uint64_t samplesOfWaveform(std::string_view selection) const;
  // The segments that one pass of a selection plays, in order; ScpiError as for samplesOfWaveform.
  std::vector<PlayedSegment> playList(std::string_view selection) const;

  const std::filesystem::path& folder() const { return folder_; }

 private:
  const std::string& storedName(std::string_view name) const;
  // The file a store under name writes: the stored one of that name in any case, else name as given.
  std::string storeTarget(std::string_view name) const;
  uint64_t samplesOfSegment(std::string_view name) const;
  void seedBuiltins();

  std::filesystem::path folder_;
  std::map<std::string, std::string> index_;  // lower-case name -> name as stored
  std::map<std::string, std::unique_ptr<GeneratorMemory>> volumes_;
};

// Whether a name can be a file of the memory: 1 to 128 letters, digits, '_', '-', '+', '.', not
// beginning with '.'; nothing that could leave the storage folder.
bool isValidMemoryName(std::string_view name);

// The built-in CW tone: a whole number of periods of a complex tone, so that it repeats without a step.
std::string makeToneSegment();

}  // namespace tevra::sim
