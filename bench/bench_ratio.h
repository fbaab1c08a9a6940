// Benchmark main support: runs the registered benchmarks with the console reporter and then prints, for
// each named pair, the ratio of our time to the reference's time measured in the same run.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tevra::bench {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& run : runs) {
      if (run.run_type == Run::RT_Iteration) times_[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  double time(const std::string& name) const {
    auto it = times_.find(name);
    return it == times_.end() ? 0.0 : it->second;
  }

 private:
  std::map<std::string, double> times_;
};

// Runs the benchmarks and prints "ratio <ours> / <reference> = x" for each pair.
inline int runWithRatios(int argc, char** argv,
                         const std::vector<std::pair<std::string, std::string>>& pairs) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const auto& [ours, reference] : pairs) {
    const double a = reporter.time(ours);
    const double b = reporter.time(reference);
    if (a > 0 && b > 0) std::printf("ratio %s / %s = %.2f\n", ours.c_str(), reference.c_str(), a / b);
  }
  benchmark::Shutdown();
  return 0;
}

}  // namespace tevra::bench
