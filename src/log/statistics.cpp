#include "src/log/statistics.h"

#include <atomic>

#include "src/log/driver_logs.h"
#include "tevra.h"

namespace tevra::log {
namespace {

// Atomic so that counters fed from several threads never tear; the block has no lock of its own.
std::atomic<int32_t> g_block[kStatBlockCount];

constexpr int32_t kGrandTotal = 1;

int32_t base(StatEntry entry) {
  return 2 + 3 * static_cast<int32_t>(entry);
}
bool counted(StatEntry entry) {
  return entry != StatEntry::kNone && static_cast<int32_t>(entry) >= 0 &&
         static_cast<int32_t>(entry) < kStatEntryCount;
}

struct PrintedEntry {
  StatEntry entry;
  const char* label;
};

// The report's order differs from the block's: carrier suppression comes before the composite measurements.
constexpr PrintedEntry kPrinted[] = {
    {StatEntry::kInit, "Init:"},
    {StatEntry::kPreset, "Preset:"},
    {StatEntry::kCarrierSuppression, "Measure_CarrierSuppression:"},
    {StatEntry::kMeasureAll11ag, "Measure_ALL_11ag:"},
    {StatEntry::kMeasureAll11b, "Measure_ALL_11b:"},
    {StatEntry::kDemodAll11ag, "Measure_Demod_ALL_11ag:"},
    {StatEntry::kDemodAll11b, "Measure_Demod_ALL_11b:"},
    {StatEntry::kSpectralMask11ag, "Measure_SpectralMask_11ag:"},
    {StatEntry::kSpectralMask11b, "Measure_SpectralMask_11b:"},
    {StatEntry::kAveragePower, "Measure_AveragePower:"},
    {StatEntry::kArbSelectSequence, "ARB_Select_Sequence:"},
    {StatEntry::kArbSelectSequence11ag, "ARB_Select_Sequence_11ag:"},
    {StatEntry::kArbSelectSequence11b, "ARB_Select_Sequence_11b:"},
    {StatEntry::kArbTriggerSequence, "ARB_TriggerSequence:"},
    {StatEntry::kArbStop, "ARB_Stop:"},
    {StatEntry::kArbAdjustOutput, "ARB_AdjustOutput:"},
    {StatEntry::kGatedSpectrum1, "GatedSpectrum1:"},
    {StatEntry::kGatedSpectrum2, "GatedSpectrum2:"},
    {StatEntry::kGatedSpectrum3, "GatedSpectrum3:"},
    {StatEntry::kGatedSpectrumEx, "GatedSpectrumEx:"},
    {StatEntry::kCwFrequencyOffset, "Measure_CWFrequencyOffset:"},
};

int32_t load(int32_t index) {
  return g_block[index].load(std::memory_order_relaxed);
}

}  // namespace

void countCall(StatEntry entry) {
  if (counted(entry)) g_block[base(entry)].fetch_add(1, std::memory_order_relaxed);
}

void addCallTime(StatEntry entry, uint32_t milliseconds) {
  if (!counted(entry)) return;
  const auto ms = static_cast<int32_t>(milliseconds);
  const int32_t at = base(entry);
  if (load(at) == 1) g_block[at + 2].store(ms, std::memory_order_relaxed);
  g_block[at + 1].fetch_add(ms, std::memory_order_relaxed);
  g_block[kGrandTotal].fetch_add(ms, std::memory_order_relaxed);
}

void copyStatistics(int32_t* block) {
  for (int32_t i = 0; i < kStatBlockCount; ++i) block[i] = load(i);
}

void resetStatistics() {
  for (auto& counter : g_block) counter.store(0, std::memory_order_relaxed);
}

void printStatistics() {
  LogFile& trace = traceLog();
  trace.LogIt("============ <<<** Measurement Statistics, Total %d ms **>>> ============", load(kGrandTotal));
  for (const auto& printed : kPrinted) {
    const int32_t at = base(printed.entry);
    const int32_t calls = load(at);
    if (calls <= 0) continue;
    const int32_t total = load(at + 1);
    trace.LogIt("  %-27s avg %.2f ms, 1st %d ms, total %d ms, counts %d", printed.label,
                static_cast<double>(total) / calls, load(at + 2), total, calls);
  }
  trace.LogIt("=============== <<<** End of Measurement Statistics **>>> ===============");
}

}  // namespace tevra::log

extern "C" TEVRA_API void Tevra_Stat_Measurement(int32_t flags, int32_t* block) {
  if ((flags & 2) != 0) {
    if (block != nullptr) tevra::log::copyStatistics(block);
    tevra::log::printStatistics();
  }
  if ((flags & 1) != 0) tevra::log::resetStatistics();
}
