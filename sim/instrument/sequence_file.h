// Sequence files as the waveform generator keeps them: a 104-byte header whose first four bytes tell the
// record layout, then one record per segment ("WFM1:", the segment name, the repetitions).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tevra::sim {

struct SequenceEntry {
  std::string segment;
  uint32_t repetitions = 0;
};

// The entries of a sequence file, or nothing when the bytes are not one.
std::optional<std::vector<SequenceEntry>> parseSequenceFile(std::string_view bytes);

// A sequence file of one entry, in the single-entry layout.
std::string encodeSingleEntrySequence(const SequenceEntry& entry);

}  // namespace tevra::sim
