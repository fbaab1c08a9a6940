// One Tevra_Measure_Demod_ALL_11ag against the in-process simulator through the built server module, split
// into the instrument's time (inside the server's operations, which drive the simulated analyzer, and in
// the driver's sleeps between busy polls) and the driver's own time (everything else: the call frame, the
// trace lines, conversions, the last-result store and the statistics). The trace's millisecond stamps are
// too coarse for a share below a millisecond, so the server interface is timed by an interposed object.
#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "interface/q7730/instrument_interface.h"
#include "platform/com/creation.h"
#include "platform/kernel/kernel.h"
#include "platform/registry/registry.h"
#include "sim/dsp/ofdm_tx.h"
#include "sim/dsp/segment_file.h"
#include "sim/net/simulator.h"
#include "src/log/driver_logs.h"
#include "tests/support/temp_dir.h"
#include "tevra.h"

namespace {

using Clock = std::chrono::steady_clock;
using tevra::platform::HRESULT;
using tevra::platform::IID;
using tevra::server::IInstrument;
using tevra::server::ServerOp;

constexpr const char* kServerClsid = "{8F4A2C61-3B7E-4D95-A0C8-5E17B9D3F042}";
Clock::duration instrumentTime{};

// Forwards every operation to the server module's object and adds the time it took.
class TimedServer : public tevra::platform::ComObject<IInstrument> {
 public:
  explicit TimedServer(IInstrument* real) : real_(real) {}
  ~TimedServer() override { real_->Release(); }

  HRESULT QueryInterface(const IID& wanted, void** object) override {
    HRESULT hr = ComObject::QueryInterface(wanted, object);
    return hr == tevra::platform::E_NOINTERFACE ? real_->QueryInterface(wanted, object) : hr;
  }
  HRESULT Invoke(ServerOp op, uint32_t count, const tevra::platform::VARIANT* args,
                 tevra::platform::VARIANT* result) override {
    const Clock::time_point start = Clock::now();
    HRESULT hr = real_->Invoke(op, count, args, result);
    instrumentTime += Clock::now() - start;
    return hr;
  }

 private:
  IInstrument* real_;
};

struct Bench {
  tevra::test::TempDir storage;
  tevra::test::TempDir traces;
  std::unique_ptr<tevra::sim::Simulator> simulator;
  uint32_t cookie = 0;

  Bench() {
    tevra::dsp::Samples burst = tevra::dsp::synthesizeOfdm({54, tevra::dsp::randomPayload(1500, 3), 0x5d});
    std::ofstream(storage.file("BENCH.wf1"), std::ios::binary)
        << tevra::dsp::encodeSegment(tevra::dsp::burstTrain(burst, 1, 400));
    simulator = std::make_unique<tevra::sim::Simulator>(
        tevra::sim::InstrumentConfig{.storageDir = storage.path(), .profile = {}});
    simulator->start();
    tevra::platform::LoadRegistryFile(TEVRA_SERVER_REGISTRY);
    interposeTimedServer();
    tevra::platform::SetSleepForTest([](uint32_t ms) {
      const Clock::time_point start = Clock::now();
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      instrumentTime += Clock::now() - start;
    });
    tevra::log::traceLog().Open(traces.file("trace.txt").c_str(), 0, true);
    Tevra_Init(simulator->resource().c_str(), 0, 0, 0, 0);
    Tevra_ARB_Play_SegmentEx("BENCH", -20, 2437, 20);
    Tevra_DigitalAnalyzer_Setup_11ag(2437, 0, 1, 1367, -8, 1, 0, 20);
  }

  // Serves the server's class ahead of the registry: the module's own object inside a timed one.
  void interposeTimedServer() {
    tevra::platform::CLSID clsid{};
    tevra::platform::GuidFromString(kServerClsid, &clsid);
    cookie = tevra::platform::CoRegisterClassObject(clsid, [this, clsid](const IID& iid, void** object) {
      tevra::platform::CoRevokeClassObject(cookie);
      void* real = nullptr;
      HRESULT hr = tevra::platform::CoCreateInstance(clsid, nullptr, 1, IInstrument::iid, &real);
      if (hr < 0) return hr;
      auto* timed = new TimedServer(static_cast<IInstrument*>(real));
      hr = timed->QueryInterface(iid, object);
      timed->Release();
      return hr;
    });
  }
};

Bench& bench() {
  static Bench b;
  return b;
}

void BM_Measure_Demod_ALL_11ag(benchmark::State& state) {
  bench();
  Clock::duration total{};
  instrumentTime = {};
  double evm = 0, ppm = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    if (Tevra_Measure_Demod_ALL_11ag(&evm, &ppm) != 1) state.SkipWithError("measurement not valid");
    total += Clock::now() - start;
  }
  const double n = static_cast<double>(state.iterations());
  const double instrumentMs = std::chrono::duration<double, std::milli>(instrumentTime).count() / n;
  state.counters["instrument_ms"] = instrumentMs;
  state.counters["driver_ms"] = std::chrono::duration<double, std::milli>(total).count() / n - instrumentMs;
  state.counters["EVM_dB"] = evm;
}
BENCHMARK(BM_Measure_Demod_ALL_11ag)->Unit(benchmark::kMillisecond)->Iterations(50);

}  // namespace

BENCHMARK_MAIN();
