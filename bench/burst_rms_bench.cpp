// Burst RMS of a 256 MiB segment file from the page cache: the driver's measurement, the same computation
// with numpy on a memory-mapped file (bench/burst_rms_numpy.py), and reading the file alone (the floor), in
// one run.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_ratio.h"
#include "tests/support/temp_dir.h"
#include "tevra.h"

namespace {

constexpr size_t kFileBytes = size_t{256} << 20;
constexpr size_t kBlock = 16384;

// Bursts of a few thousand samples at varying levels between idle stretches, as a generated frame has.
struct SegmentFile {
  tevra::test::TempDir dir;
  std::string path = dir.file("burst.wf1");

  SegmentFile() {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> level(-12000, 12000);
    std::vector<unsigned char> block(kBlock);
    FILE* file = std::fopen(path.c_str(), "wb");
    for (size_t written = 0; written < kFileBytes; written += kBlock) {
      const bool idle = (written / kBlock) % 5 == 4;
      for (size_t n = 0; n < kBlock; n += 2) {
        const int value = idle ? level(random) / 1000 : level(random);
        block[n] = static_cast<unsigned char>(value >> 8);
        block[n + 1] = static_cast<unsigned char>(value);
      }
      std::fwrite(block.data(), 1, kBlock, file);
    }
    std::fclose(file);
  }
};

SegmentFile& segment() {
  static SegmentFile file;
  return file;
}

void BM_DriverBurstRms(benchmark::State& state) {
  const std::string& path = segment().path;
  for (auto _ : state) {
    double rms = 0;
    benchmark::DoNotOptimize(Tevra_Calc_SegmentBurstRMS(path.c_str(), &rms));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileBytes));
}
BENCHMARK(BM_DriverBurstRms)->Unit(benchmark::kMillisecond);

void BM_ReadFileAlone(benchmark::State& state) {
  const std::string& path = segment().path;
  std::vector<char> block(kBlock);
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    while (::read(fd, block.data(), kBlock) > 0) benchmark::DoNotOptimize(block.data());
    ::close(fd);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileBytes));
}
BENCHMARK(BM_ReadFileAlone)->Unit(benchmark::kMillisecond);

// numpy times its own loop; the benchmark reports its time per measurement.
void BM_NumpyBurstRms(benchmark::State& state) {
  const std::string command =
      "/usr/bin/python3 " TEVRA_BENCH_DIR "/burst_rms_numpy.py " + segment().path + " 3";
  for (auto _ : state) {
    double seconds = 0;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr || std::fscanf(pipe, "%lf", &seconds) != 1) seconds = 0;
    if (pipe != nullptr) {
      while (std::fgetc(pipe) != EOF) {
      }
      ::pclose(pipe);
    }
    if (seconds <= 0) state.SkipWithError("numpy did not run");
    state.SetIterationTime(seconds);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileBytes));
}
BENCHMARK(BM_NumpyBurstRms)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return tevra::bench::runWithRatios(argc, argv,
                                     {{"BM_DriverBurstRms", "BM_NumpyBurstRms/iterations:1/manual_time"},
                                      {"BM_DriverBurstRms", "BM_ReadFileAlone"}});
}
