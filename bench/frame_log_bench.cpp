// One framed call against the fake server with the trace log on (start, end and used-time lines), against
// spdlog writing the same three lines to a file with a flush after each.
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>

#include "bench/bench_ratio.h"
#include "src/core/frame.h"
#include "src/log/driver_logs.h"
#include "src/server/instrument.h"
#include "tests/support/fake_server.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace tevra;

const core::FrameInfo kBenchFrame{"Preset", -879, log::StatEntry::kPreset};

void BM_FramedCallWithTrace(benchmark::State& state) {
  test::TempDir dir;
  const std::string path = dir.file("trace.txt");
  log::traceLog().Open(path.c_str(), 0, true);
  testing::ScopedFakeInstrument fake;
  for (auto _ : state) {
    benchmark::DoNotOptimize(core::framed(kBenchFrame, [] {
      core::setPosition(863);
      server::instrument().Suspend();
      return 0;
    }));
  }
  log::traceLog().Close();
}
BENCHMARK(BM_FramedCallWithTrace);

void BM_SpdlogSameThreeLines(benchmark::State& state) {
  test::TempDir dir;
  auto logger = spdlog::basic_logger_st("bench", dir.file("spdlog.txt"), true);
  logger->set_pattern("%m/%d %H:%M:%S.%e [%t] %v");
  logger->flush_on(spdlog::level::info);
  for (auto _ : state) {
    logger->info("> Start {}()", "Preset");
    logger->info("> End of {}(), RetCode = {}", "Preset", 0);
    logger->info("* used time: {} ms *", 0u);
  }
  spdlog::drop("bench");
}
BENCHMARK(BM_SpdlogSameThreeLines);

}  // namespace

int main(int argc, char** argv) {
  return tevra::bench::runWithRatios(argc, argv, {{"BM_FramedCallWithTrace", "BM_SpdlogSameThreeLines"}});
}
