// The IQ tools on segment files: burst RMS, a scaled copy, normalising a folder and appending idle time.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "platform/fs/fs.h"
#include "src/arb/file_replacement.h"
#include "src/arb/segment_file.h"
#include "src/core/frame.h"
#include "src/log/driver_logs.h"
#include "tevra.h"

namespace tevra::arb {
namespace {

const core::FrameInfo kMeasureFrame{"Calc_SegmentBurstRMS", -6007, log::StatEntry::kNone, true, false};
const core::FrameInfo kReduceFrame{"Calc_ReduceSegmentBurstRMS", -6177, log::StatEntry::kNone, true, false};
const core::FrameInfo kNormalizeFrame{"Tool_NormalizeBurstRMS", -8396};
const core::FrameInfo kFillFrame{"FillSegmentIdle", -418};

constexpr SegmentCodes kMeasureCodes{-6007, -6025, -6017, -6032, -6064};
constexpr SegmentCodes kReduceCodes{-6169, -6196, -6188, -6203, -6212};
constexpr size_t kIdleBlockSize = 8192;

int32_t burstCount(const BurstStatistics& stats) {
  return static_cast<int32_t>(std::min<int64_t>(stats.burstSamples, std::numeric_limits<int32_t>::max()));
}

int32_t measure(const char* path, double* burstRms) {
  if (burstRms == nullptr) return core::traceFailure(-6007, "ERR %d,null burst RMS pointer", -6007);
  SegmentReader reader;
  if (const int32_t failed = reader.open(path, kMeasureCodes)) return failed;
  BurstStatistics stats;
  unsigned char block[kSegmentBlockSize];
  int32_t read = 0;
  while ((read = reader.next(block)) > 0) stats.add(block, static_cast<size_t>(read) / 4);
  if (read < 0) return read;
  *burstRms = stats.burstRms();
  stats.trace();
  return burstCount(stats);
}

// Truncated toward zero and held within the 16-bit range, so that a factor above 1 cannot wrap a sample.
int16_t scaled(int16_t value, double factor) {
  const double x = std::trunc(value * factor);
  return static_cast<int16_t>(std::clamp(x, -32768.0, 32767.0));
}

void scaleBlock(unsigned char* bytes, size_t size, double factor) {
  for (size_t n = 0; n + 1 < size; n += 2) {
    const auto value = static_cast<int16_t>(static_cast<uint16_t>(bytes[n] << 8 | bytes[n + 1]));
    const auto result = static_cast<uint16_t>(scaled(value, factor));
    bytes[n] = static_cast<unsigned char>(result >> 8);
    bytes[n + 1] = static_cast<unsigned char>(result);
  }
}

int32_t writeScaledBlock(const FileReplacement& file, const unsigned char* block, uint32_t size) {
  uint32_t written = 0;
  if (!platform::WriteFile(file.handle(), block, size, &written))
    return traceWriteFailure(-6257, true, size, 0);
  if (written != size) return traceWriteFailure(-6263, false, size, written);
  return 0;
}

// The source is checked whole before the destination is touched, and the destination is written beside
// itself, so the same file may be both and a refused run changes nothing.
int32_t reduce(const char* source, double factor, const char* destination, double* burstRms) {
  if (burstRms == nullptr) return core::traceFailure(-6177, "ERR %d,null burst RMS pointer", -6177);
  SegmentReader reader;
  if (const int32_t failed = reader.open(source, kReduceCodes)) return failed;
  if (!std::isfinite(factor))
    return core::traceFailure(-6177, "ERR %d,scale factor %g refused", -6177, factor);
  FileReplacement file(core::orEmpty(destination));
  if (const int32_t failed = file.begin(-6177)) return failed;
  BurstStatistics stats;
  unsigned char block[kSegmentBlockSize];
  int32_t read = 0;
  while ((read = reader.next(block)) > 0) {
    scaleBlock(block, static_cast<size_t>(read), factor);
    stats.add(block, static_cast<size_t>(read) / 4);
    if (const int32_t failed = writeScaledBlock(file, block, static_cast<uint32_t>(read))) return failed;
  }
  if (read < 0) return read;
  if (const int32_t failed = file.commit(-6257)) return failed;
  if (stats.samples == 0) return 0;
  *burstRms = stats.burstRms();
  stats.trace();
  return burstCount(stats);
}

struct MeasuredFile {
  std::string path;
  double burstRms = 0;
};

bool passedOver(const platform::FindData& entry) {
  return entry.directory || entry.name == "." || entry.name.rfind("..", 0) == 0;
}

// The files are kept in a growing table, so a folder of any size is measured whole.
int32_t normalize(const char* pattern, int32_t option) {
  char buffer[TEVRA_DOWNLOAD_PATH_SIZE];
  const int32_t offset = Tevra_Tool_GetDownloadPath(pattern, "*.*", buffer);
  if (offset < 0) return offset;
  log::traceLog().LogIt("Find '%s'", buffer);
  const std::string folder(buffer, static_cast<size_t>(offset));
  std::vector<MeasuredFile> files;
  double minimum = 0;
  for (const platform::FindData& entry : platform::FindFiles(buffer)) {
    if (passedOver(entry)) continue;
    MeasuredFile file{folder + entry.name};
    const int32_t result = Tevra_Calc_SegmentBurstRMS(file.path.c_str(), &file.burstRms);
    if (result <= 0) return result;
    if (files.empty() || file.burstRms < minimum) minimum = file.burstRms;
    files.push_back(std::move(file));
  }
  if (files.empty()) return 0;
  const auto count = static_cast<int32_t>(files.size());
  log::traceLog().LogIt("L%d, total %d files scaned, min. Burst RMS = %g", 8384, count, minimum);
  if (count < 2 || option == 0) return count;
  for (MeasuredFile& file : files) {
    const int32_t result = Tevra_Calc_ReduceSegmentBurstRMS(file.path.c_str(), minimum / file.burstRms,
                                                            (file.path + "_R").c_str(), &file.burstRms);
    if (result < 0) return result;
  }
  return count;
}

// Whole samples only, so that the padded file stays a segment file; a failed write puts the old size back.
int32_t fillIdle(const char* path, double fraction) {
  const char* name = core::orEmpty(path);
  if (!(fraction >= 0) || !std::isfinite(fraction)) {
    return core::traceFailure(-418, "ERR %d,idle fraction %g refused", -418, fraction);
  }
  const ScopedFile file(
      platform::CreateFile(name, platform::kAccessReadWrite, platform::Creation::kOpenExisting));
  if (!file.valid()) return traceFileFailure(-397, "create", name);
  const int64_t size = platform::GetFileSize(file.get());
  const double wanted = std::floor(static_cast<double>(size) * fraction / 4) * 4;
  if (size < 0 || wanted > static_cast<double>(int64_t{1} << 48)) {
    return core::traceFailure(-418, "ERR %d,idle fraction %g refused", -418, fraction);
  }
  if (!platform::CopyFile(name, (std::string(name) + ".bak").c_str(), false)) {
    return traceFileFailure(-418, "backup", name);
  }
  if (platform::SetFilePointer(file.get(), size, 0) != size) return traceFileFailure(-418, "seek", name);
  static const unsigned char zeros[kIdleBlockSize] = {};
  for (auto left = static_cast<int64_t>(wanted); left > 0; left -= kIdleBlockSize) {
    const auto chunk = static_cast<uint32_t>(std::min<int64_t>(left, kIdleBlockSize));
    if (const int32_t failed = writeAll(-418, file.get(), zeros, chunk)) {
      platform::SetFilePointer(file.get(), size, 0);
      platform::SetEndOfFile(file.get());
      return failed;
    }
  }
  return 0;
}

}  // namespace
}  // namespace tevra::arb

using namespace tevra;

extern "C" TEVRA_API int32_t Tevra_Calc_SegmentBurstRMS(const char* fileName, double* burstRms) {
  if (burstRms != nullptr) *burstRms = 0;
  core::CallFrame frame(arb::kMeasureFrame);
  frame.start("%s", core::orEmpty(fileName));
  return frame.end(frame.guard([&] { return arb::measure(fileName, burstRms); }));
}

extern "C" TEVRA_API int32_t Tevra_Calc_ReduceSegmentBurstRMS(const char* source, double factor,
                                                              const char* destination, double* burstRms) {
  if (burstRms != nullptr) *burstRms = 0;
  core::CallFrame frame(arb::kReduceFrame);
  frame.start("%s,%g,%s", core::orEmpty(source), factor, core::orEmpty(destination));
  return frame.end(frame.guard([&] { return arb::reduce(source, factor, destination, burstRms); }));
}

extern "C" TEVRA_API int32_t Tevra_Tool_NormalizeBurstRMS(const char* pattern, int32_t option) {
  core::CallFrame frame(arb::kNormalizeFrame);
  frame.start("%s,0x%02X", core::orEmpty(pattern), static_cast<unsigned>(option));
  return frame.end(frame.guard([&] { return arb::normalize(pattern, option); }));
}

extern "C" TEVRA_API int32_t Tevra_FillSegmentIdle(const char* fileName, double idleFraction) {
  core::CallFrame frame(arb::kFillFrame);
  frame.start();
  return frame.end(frame.guard([&] { return arb::fillIdle(fileName, idleFraction); }));
}
