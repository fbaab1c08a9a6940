// The analyzer's DSP beside its floor: demodulating one 802.11a/g burst (EVM, frequency error, SIGNAL), a
// Welch spectrum and a 100 001-point gated spectrum, each next to the FFTs it performs done alone with FFTW
// in the same run.
#include <fftw3.h>

#include <benchmark/benchmark.h>

#include <initializer_list>
#include <vector>

#include "bench/bench_ratio.h"
#include "sim/dsp/ofdm_phy.h"
#include "sim/dsp/ofdm_rx.h"
#include "sim/dsp/ofdm_tx.h"
#include "sim/dsp/spectrum.h"
#include "sim/dsp/tones.h"

namespace {

using namespace tevra::dsp;

Samples burstOf(size_t bytes) {
  OfdmBurst burst{54, randomPayload(bytes, 3), 0x5d};
  Samples x = burstTrain(synthesizeOfdm(burst), 1, 200);
  x.insert(x.begin(), 200, Complex{});
  Samples noise = noiseSignal(x.size(), 9);
  for (size_t n = 0; n < x.size(); ++n) x[n] += noise[n] * 0.01;
  return x;
}

struct Transforms {
  size_t size;
  size_t count;
  int sign = FFTW_FORWARD;
};

// `count` transforms of `size` points on one FFTW plan per entry.
void fftFloor(benchmark::State& state, std::initializer_list<Transforms> transforms) {
  struct Plan {
    fftw_complex* in;
    fftw_complex* out;
    fftw_plan plan;
    size_t count;
  };
  std::vector<Plan> plans;
  for (const Transforms& t : transforms) {
    Plan p{fftw_alloc_complex(t.size), fftw_alloc_complex(t.size), nullptr, t.count};
    p.plan = fftw_plan_dft_1d(static_cast<int>(t.size), p.in, p.out, t.sign, FFTW_ESTIMATE);
    for (size_t n = 0; n < t.size; ++n) p.in[n][0] = p.in[n][1] = 0.5;
    plans.push_back(p);
  }
  for (auto _ : state) {
    for (const Plan& p : plans)
      for (size_t i = 0; i < p.count; ++i) fftw_execute(p.plan);
    benchmark::DoNotOptimize(plans[0].out[0][0]);
  }
  for (const Plan& p : plans) {
    fftw_destroy_plan(p.plan);
    fftw_free(p.in);
    fftw_free(p.out);
  }
}

void fftFloor(benchmark::State& state, size_t size, size_t count) {
  fftFloor(state, {{size, count}});
}

void BM_DemodulateOfdm54(benchmark::State& state) {
  Samples x = burstOf(static_cast<size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(analyzeOfdm(x));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_DemodulateOfdm54)->Arg(1500)->Arg(500)->Arg(3000)->Complexity(benchmark::oN);

// Two long training symbols, SIGNAL, and the DATA symbols of a 1500-byte burst at 54 Mbps; and the timing
// search's correlation of 352 samples with the long training symbol (a 512-point transform and its inverse).
void BM_DemodulateOfdm54Floor(benchmark::State& state) {
  auto rate = *ofdm::rateOfMbps(54);
  fftFloor(state, {{ofdm::kFftSize, 3 + ofdm::dataSymbols(rate, 1500)}, {512, 1}, {512, 1, FFTW_BACKWARD}});
}
BENCHMARK(BM_DemodulateOfdm54Floor);

constexpr size_t kSpectrumSamples = 80000;  // 1 ms at the capture rate
constexpr size_t kSpectrumPoints = 1024;

void BM_WelchSpectrum(benchmark::State& state) {
  Samples x = noiseSignal(kSpectrumSamples, 4);
  for (auto _ : state) benchmark::DoNotOptimize(welchSpectrum(x, 80e6, kSpectrumPoints));
}
BENCHMARK(BM_WelchSpectrum);

void BM_WelchSpectrumFloor(benchmark::State& state) {
  fftFloor(state, kSpectrumPoints, (kSpectrumSamples - kSpectrumPoints) / (kSpectrumPoints / 2) + 1);
}
BENCHMARK(BM_WelchSpectrumFloor);

// A gated spectrum of 100 001 points over 66 MHz at the 100 kHz resolution bandwidth: 1 ms of capture in
// 1200-sample windows, zero padded to 16384 points.
constexpr size_t kGatedWindow = 1200;
constexpr size_t kGatedFftSize = 16384;

void BM_GatedSpectrum100001(benchmark::State& state) {
  Samples x = noiseSignal(kSpectrumSamples, 5);
  for (auto _ : state) benchmark::DoNotOptimize(welchTrace(x, 80e6, 100e3, 66e6, 100001));
}
BENCHMARK(BM_GatedSpectrum100001);

void BM_GatedSpectrum100001Floor(benchmark::State& state) {
  fftFloor(state, kGatedFftSize, (kSpectrumSamples - kGatedWindow) / (kGatedWindow / 2) + 1);
}
BENCHMARK(BM_GatedSpectrum100001Floor);

}  // namespace

int main(int argc, char** argv) {
  return tevra::bench::runWithRatios(argc, argv,
                                     {{"BM_DemodulateOfdm54/1500", "BM_DemodulateOfdm54Floor"},
                                      {"BM_WelchSpectrum", "BM_WelchSpectrumFloor"},
                                      {"BM_GatedSpectrum100001", "BM_GatedSpectrum100001Floor"}});
}
