// Segment files: IQ samples of 4 bytes (I, then Q, signed 16-bit big-endian) and nothing else, streamed in
// blocks of 16384 bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/fs/fs.h"

namespace tevra::arb {

inline constexpr size_t kSegmentBlockSize = 16384;
inline constexpr uint32_t kBurstThreshold = 121000;

// Burst statistics over samples: a burst sample has I*I+Q*Q above the threshold, every other sample is idle.
struct BurstStatistics {
  uint64_t burstPower = 0;
  int64_t burstSamples = 0;
  int64_t samples = 0;
  uint32_t maxPower = 0;
  // Over burst samples, starting from 0.
  int16_t minI = 0, maxI = 0, minQ = 0, maxQ = 0;

  void add(const unsigned char* bytes, size_t sampleCount);
  // 0 without burst samples.
  double burstRms() const;
  // The burst power over every sample, idle ones counting as zero.
  double overallRms() const;
  // The two statistics lines of the trace log.
  void trace() const;
};

// The failure codes of one tool for each check of the source file.
struct SegmentCodes {
  int32_t open, header, encrypted, seek, size;
};

// Opens a segment file for reading and refuses what is not a plain segment file.
class SegmentReader {
 public:
  SegmentReader() = default;
  SegmentReader(const SegmentReader&) = delete;
  SegmentReader& operator=(const SegmentReader&) = delete;
  ~SegmentReader();

  // 0, or the code of the failed check with its traced text.
  int32_t open(const char* path, const SegmentCodes& codes);
  // Reads the next block into block (kSegmentBlockSize bytes): its size, 0 at the file's end, or the header
  // code when a read fails or the file ends before the size it had when opened.
  int32_t next(unsigned char* block);
  int64_t size() const { return size_; }

 private:
  platform::FileHandle file_ = platform::kInvalidFileHandle;
  int32_t readCode_ = 0;
  int64_t size_ = 0;
  int64_t remaining_ = 0;
};

}  // namespace tevra::arb
