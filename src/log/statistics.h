// Call counts and times of the driver's time-critical functions, in one block whose layout callers copy out:
// [0] reserved, [1] total ms of every counted call, then per entry {call count, total ms, first-call ms}.
#pragma once

#include <cstdint>

namespace tevra::log {

enum class StatEntry : int32_t {
  kNone = -1,
  kInit = 0,
  kPreset,
  kMeasureAll11ag,
  kMeasureAll11b,
  kCarrierSuppression,
  kDemodAll11ag,
  kDemodAll11agTurbo,
  kDemodAll11b,
  kSpectralMask11ag,
  kSpectralMask11b,
  kSpectralMask11nHt20,
  kSpectralMask11nHt40,
  kAveragePower,
  kArbSelectSequence,
  kArbSelectSequenceEx,
  kArbSelectSequence11ag,
  kArbSelectSequence11b,
  kArbTriggerSequence,
  kArbStop,
  kArbAdjustOutput,
  kGatedSpectrum1,
  kGatedSpectrum2,
  kGatedSpectrum3,
  kGatedSpectrumEx,
  kCwFrequencyOffset,
  kDemodAll11n,
  kReserved26,
};

inline constexpr int32_t kStatEntryCount = 27;
inline constexpr int32_t kStatBlockCount = 2 + 3 * kStatEntryCount;
static_assert(kStatBlockCount == 83);

// Before the start line of a counted call.
void countCall(StatEntry entry);
// After its used-time line: the first call's time, the entry's total and the grand total.
void addCallTime(StatEntry entry, uint32_t milliseconds);

void copyStatistics(int32_t* block);
void resetStatistics();
// Writes the statistics report to the trace log.
void printStatistics();

}  // namespace tevra::log
