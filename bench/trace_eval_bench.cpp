// Band power, limit line, mask and OBW evaluation on long traces, each against a plain single pass over the
// same arrays (the floor): a sum of linear powers, or a straight-line limit compared at every point.
#include <cmath>
#include <string>
#include <vector>

#include "bench/bench_ratio.h"
#include "src/spectrum/trace_judgement.h"
#include "src/spectrum/trace_math.h"
#include "src/spectrum/trace_search.h"

namespace tevra::bench {
namespace {

constexpr double kFc = 2412e6;

struct TraceData {
  std::vector<double> frequencies;
  std::vector<double> powers;
  std::vector<double> out;
  std::vector<double> fails;
  explicit TraceData(int64_t n) : frequencies(n), powers(n), out(n), fails(n) {
    for (int64_t i = 0; i < n; ++i) {
      frequencies[i] = kFc - 40e6 + 80e6 * static_cast<double>(i) / static_cast<double>(n - 1);
      const double offset = std::abs(frequencies[i] - kFc) / 1e6;
      powers[i] = offset < 9 ? -10.0 : -10.0 - 3.0 * offset;
    }
  }
  spectrum::Trace trace() const {
    return {static_cast<int32_t>(powers.size()), frequencies.data(), powers.data()};
  }
  spectrum::Judgement judgement() { return {out.data(), fails.data(), nullptr}; }
};

void BM_BandPower(benchmark::State& state) {
  TraceData data(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(spectrum::spectrumBandPower(
        data.powers.data(), static_cast<int32_t>(data.powers.size()), 16.6e6, 1e5));
  }
}
void BM_FloorLinearSum(benchmark::State& state) {
  TraceData data(state.range(0));
  for (auto _ : state) {
    double sum = 0.0;
    for (double p : data.powers) sum += std::pow(10.0, p * 0.1);
    benchmark::DoNotOptimize(sum);
  }
}
void BM_LimitLine(benchmark::State& state) {
  TraceData data(state.range(0));
  const double table[] = {-30e6, -40, -11e6, -20, -9e6, 0, 9e6, 0, 11e6, -20, 30e6, -40};
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        spectrum::judgeLimitTable(data.trace(), kFc, -10.0, table, 12, data.judgement()));
  }
}
void BM_Mask11ag(benchmark::State& state) {
  TraceData data(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(spectrum::judgeMask(
        data.trace(), kFc, -10.0, spectrum::maskRegions(spectrum::Mask::k11ag), data.judgement()));
  }
}
void BM_FloorLineCompare(benchmark::State& state) {
  TraceData data(state.range(0));
  for (auto _ : state) {
    int32_t failed = 0;
    for (size_t i = 0; i < data.powers.size(); ++i) {
      const double limit = -50.0 + (data.frequencies[i] - kFc) * 1e-6;
      data.out[i] = limit;
      if (data.powers[i] > limit) data.fails[failed++] = data.frequencies[i];
    }
    benchmark::DoNotOptimize(failed);
  }
}
void BM_Obw(benchmark::State& state) {
  TraceData data(state.range(0));
  for (auto _ : state)
    benchmark::DoNotOptimize(spectrum::occupiedBandwidth(data.trace(), 99.0, data.out.data()));
}

BENCHMARK(BM_BandPower)->Arg(401)->Arg(4001)->Arg(100001);
BENCHMARK(BM_FloorLinearSum)->Arg(401)->Arg(4001)->Arg(100001);
BENCHMARK(BM_Obw)->Arg(401)->Arg(4001)->Arg(100001);
BENCHMARK(BM_LimitLine)->Arg(401)->Arg(4001)->Arg(100001);
BENCHMARK(BM_Mask11ag)->Arg(401)->Arg(4001)->Arg(100001);
BENCHMARK(BM_FloorLineCompare)->Arg(401)->Arg(4001)->Arg(100001);

}  // namespace
}  // namespace tevra::bench

int main(int argc, char** argv) {
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const char* n : {"401", "4001", "100001"}) {
    const std::string size = std::string("/") + n;
    pairs.emplace_back("BM_BandPower" + size, "BM_FloorLinearSum" + size);
    pairs.emplace_back("BM_Obw" + size, "BM_FloorLinearSum" + size);
    pairs.emplace_back("BM_LimitLine" + size, "BM_FloorLineCompare" + size);
    pairs.emplace_back("BM_Mask11ag" + size, "BM_FloorLineCompare" + size);
  }
  return tevra::bench::runWithRatios(argc, argv, pairs);
}
