// The download of a 64 MiB segment file through the driver (Tevra_ARB_DownloadEx, the server module, its
// SCPI link and the simulator storing the file) against the loopback TCP throughput of the same machine:
// 64 MiB written to a loopback socket and read by another thread (the floor).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_ratio.h"
#include "platform/registry/registry.h"
#include "sim/net/simulator.h"
#include "tests/support/temp_dir.h"
#include "tevra.h"

namespace {

constexpr size_t kSegmentBytes = size_t{64} << 20;

void BM_DriverDownload64MiB(benchmark::State& state) {
  tevra::test::TempDir storage;
  tevra::test::TempDir local;
  const std::string file = local.file("BENCH64.wf1");
  std::string samples(kSegmentBytes, '\0');
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<char>(i * 7);
  tevra::test::writeFile(file, samples);
  tevra::platform::LoadRegistryFile(TEVRA_BENCH_REGISTRY);
  tevra::sim::Simulator simulator(tevra::sim::InstrumentConfig{.storageDir = storage.path(), .profile = {}});
  simulator.start();
  if (Tevra_Init(simulator.resource().c_str(), 0, 0, 0, 0) != 0) {
    state.SkipWithError("Tevra_Init failed");
    return;
  }
  for (auto _ : state) {
    if (Tevra_ARB_DownloadEx(file.c_str(), 1) != 1) state.SkipWithError("download failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSegmentBytes));
  Tevra_Close();
  tevra::platform::ResetRegistry();
}
BENCHMARK(BM_DriverDownload64MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoopbackTcp64MiB(benchmark::State& state) {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::listen(listener, 1);
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  const int sender = ::socket(AF_INET, SOCK_STREAM, 0);
  ::connect(sender, reinterpret_cast<sockaddr*>(&address), sizeof address);
  const int receiver = ::accept(listener, nullptr, nullptr);
  const std::string data(kSegmentBytes, 'x');
  for (auto _ : state) {
    std::thread reader([&] {
      std::vector<char> buffer(1 << 20);
      for (size_t got = 0; got < kSegmentBytes;) {
        const ssize_t n = ::recv(receiver, buffer.data(), buffer.size(), 0);
        if (n <= 0) break;
        got += static_cast<size_t>(n);
      }
    });
    for (size_t sent = 0; sent < kSegmentBytes;) {
      const ssize_t n = ::send(sender, data.data() + sent, kSegmentBytes - sent, 0);
      if (n <= 0) break;
      sent += static_cast<size_t>(n);
    }
    reader.join();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSegmentBytes));
  ::close(sender);
  ::close(receiver);
  ::close(listener);
}
BENCHMARK(BM_LoopbackTcp64MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  // The instrument's waveform memory is RAM: its storage folder (and the local file) go to a tmpfs when
  // there is one, so that the disk does not set the pace.
  std::error_code error;
  if (std::filesystem::is_directory("/dev/shm", error)) setenv("TMPDIR", "/dev/shm", 0);
  return tevra::bench::runWithRatios(argc, argv,
                                     {{"BM_DriverDownload64MiB/real_time", "BM_LoopbackTcp64MiB/real_time"}});
}
