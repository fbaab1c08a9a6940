#include "src/arb/segment_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/kernel/kernel.h"
#include "platform/kernel/win32_errors.h"
#include "src/arb/file_replacement.h"
#include "src/core/frame.h"
#include "src/log/driver_logs.h"

namespace tevra::arb {
namespace {

constexpr unsigned char kEncryptionMark[16] = {'B', 'E', 'X', 'T', 'O', 'R',  'A',  'Q',
                                               '7', '7', '3', '0', 'A', 0xFF, 0xFF, 0xFF};

// The AVX2 clone is chosen by a resolver that runs while the program is being loaded, before a thread
// sanitizer's runtime is up; sanitizer builds keep the one default version.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
#define TEVRA_WITH_AVX2_CLONE
#else
#define TEVRA_WITH_AVX2_CLONE __attribute__((target_clones("avx2", "default")))
#endif

// Idle samples contribute zero to every sum and extreme, so the loop has no branch and vectorises; it is
// built once more for AVX2, chosen at load time where the processor has it. Because the extremes start at
// 0, a value above the largest can never also be below the smallest.
TEVRA_WITH_AVX2_CLONE void gather(const unsigned char* bytes, size_t sampleCount, BurstStatistics& stats) {
  uint64_t sum = 0;
  uint32_t count = 0, peak = stats.maxPower;
  int32_t loI = stats.minI, hiI = stats.maxI, loQ = stats.minQ, hiQ = stats.maxQ;
  for (size_t n = 0; n < sampleCount; ++n) {
    uint32_t raw = 0;
    std::memcpy(&raw, bytes + 4 * n, 4);
    const uint32_t word = __builtin_bswap32(raw);
    const int32_t i = static_cast<int32_t>(word) >> 16;
    const int32_t q = static_cast<int32_t>(word << 16) >> 16;
    const uint32_t power = static_cast<uint32_t>(i * i) + static_cast<uint32_t>(q * q);
    const uint32_t burst = power > kBurstThreshold ? ~0U : 0U;
    const uint32_t kept = power & burst;
    const int32_t keptI = i & static_cast<int32_t>(burst);
    const int32_t keptQ = q & static_cast<int32_t>(burst);
    sum += kept;
    count += burst & 1U;
    peak = std::max(peak, kept);
    loI = std::min(loI, keptI);
    hiI = std::max(hiI, keptI);
    loQ = std::min(loQ, keptQ);
    hiQ = std::max(hiQ, keptQ);
  }
  stats.burstPower += sum;
  stats.burstSamples += count;
  stats.samples += static_cast<int64_t>(sampleCount);
  stats.maxPower = peak;
  stats.minI = static_cast<int16_t>(loI);
  stats.maxI = static_cast<int16_t>(hiI);
  stats.minQ = static_cast<int16_t>(loQ);
  stats.maxQ = static_cast<int16_t>(hiQ);
}

}  // namespace

void BurstStatistics::add(const unsigned char* bytes, size_t sampleCount) {
  gather(bytes, sampleCount, *this);
}

double BurstStatistics::burstRms() const {
  return burstSamples == 0 ? 0.0
                           : std::sqrt(static_cast<double>(burstPower) / static_cast<double>(burstSamples));
}

double BurstStatistics::overallRms() const {
  return samples == 0 ? 0.0 : std::sqrt(static_cast<double>(burstPower) / static_cast<double>(samples));
}

void BurstStatistics::trace() const {
  log::traceLog().LogIt("Max I^2+Q^2=%g, I min=%d max=%d, Q min=%d max=%d", static_cast<double>(maxPower),
                        minI, maxI, minQ, maxQ);
  log::traceLog().LogIt("%lld samples: burst %lld, rms %g, burst rms %g", static_cast<long long>(samples),
                        static_cast<long long>(burstSamples), overallRms(), burstRms());
}

SegmentReader::~SegmentReader() {
  if (file_ != platform::kInvalidFileHandle) platform::CloseHandle(file_);
}

int32_t SegmentReader::open(const char* path, const SegmentCodes& codes) {
  file_ = platform::CreateFile(path, platform::kAccessRead, platform::Creation::kOpenExisting);
  if (file_ == platform::kInvalidFileHandle) return traceFileFailure(codes.open, "open", core::orEmpty(path));
  readCode_ = codes.header;
  unsigned char header[16];
  uint32_t read = 0;
  if (!platform::ReadFile(file_, header, sizeof header, &read) || read != sizeof header) {
    if (read != sizeof header) platform::SetLastError(platform::kErrorHandleEof);
    return traceFileFailure(codes.header, "WF1_header_read", "");
  }
  if (std::memcmp(header, kEncryptionMark, sizeof header) == 0) {
    return core::traceFailure(codes.encrypted, "ERR %d,the segment file is encrypted", codes.encrypted);
  }
  if (platform::SetFilePointer(file_, 0, 0) != 0) return traceFileFailure(codes.seek, "seek", "");
  size_ = platform::GetFileSize(file_);
  if (size_ < 0) return traceFileFailure(codes.seek, "size", "");
  if (size_ % 4 != 0) {
    return core::traceFailure(codes.size, "ERR %d,file size %lld contains an incomplete IQ pair", codes.size,
                              static_cast<long long>(size_));
  }
  remaining_ = size_;
  return 0;
}

int32_t SegmentReader::next(unsigned char* block) {
  if (remaining_ == 0) return 0;
  const auto want = static_cast<uint32_t>(std::min<int64_t>(remaining_, kSegmentBlockSize));
  uint32_t read = 0;
  if (!platform::ReadFile(file_, block, want, &read)) return traceFileFailure(readCode_, "read", "");
  if (read != want) {
    return core::traceFailure(readCode_, "ERR %d,read() failed, %d != %d", readCode_, static_cast<int>(want),
                              static_cast<int>(read));
  }
  remaining_ -= read;
  return static_cast<int32_t>(read);
}

}  // namespace tevra::arb
