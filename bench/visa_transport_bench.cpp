// The VISA layer's resource kinds against the simulator on loopback: a query round trip and a block of
// 64 MiB (the largest file of the generator memory) read back from the generator memory, over SOCKET, VXI-11
// (when a portmapper answers) and HiSLIP, beside a raw TCP socket doing the same exchanges (the floor).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/visa/visa.h"
#include "sim/net/simulator.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr size_t kBlockSize = tevra::sim::GeneratorMemory::kMaxFileSize;
const std::string kBlockQuery = "MMEM:DATA? \"BENCH.BIN\"\n";

struct Bench {
  tevra::test::TempDir storage;
  std::unique_ptr<tevra::sim::Simulator> simulator;
  ViSession manager = VI_NULL;
  bool vxi11 = false;

  Bench() {
    simulator = std::make_unique<tevra::sim::Simulator>(
        tevra::sim::InstrumentConfig{.storageDir = storage.path(), .profile = {}});
    simulator->start();
    simulator->startHislip(0);
    std::string why;
    vxi11 = simulator->startVxi11(0, &why);
    viOpenDefaultRM(&manager);
    std::string data(kBlockSize, 'x');
    std::string digits = std::to_string(kBlockSize);
    std::string command = "MMEM:DATA \"bench.bin\",#" + std::to_string(digits.size()) + digits + data;
    ViSession vi = open(simulator->resource());
    viWrite(vi, reinterpret_cast<const ViByte*>(command.data()), static_cast<ViUInt32>(command.size()),
            nullptr);
    viClose(vi);
  }
  ViSession open(const std::string& resource) {
    ViSession vi = VI_NULL;
    viOpen(manager, resource.c_str(), VI_NO_LOCK, 0, &vi);
    viSetAttribute(vi, VI_ATTR_TMO_VALUE, 20000);
    return vi;
  }
  std::string resource(int kind) {
    if (kind == 1) return tevra::sim::Simulator::vxi11Resource();
    if (kind == 2) return simulator->hislipResource();
    return simulator->resource();
  }
};

Bench& bench() {
  static Bench b;
  return b;
}

void exchange(ViSession vi, const std::string& query, std::vector<ViByte>& reply, benchmark::State& state) {
  ViUInt32 count = 0;
  viWrite(vi, reinterpret_cast<const ViByte*>(query.data()), static_cast<ViUInt32>(query.size()), &count);
  if (viRead(vi, reply.data(), static_cast<ViUInt32>(reply.size()), &count) < 0) state.SkipWithError("read");
}

void BM_VisaQuery(benchmark::State& state) {
  if (state.range(0) == 1 && !bench().vxi11) return state.SkipWithError("no portmapper");
  ViSession vi = bench().open(bench().resource(static_cast<int>(state.range(0))));
  std::vector<ViByte> reply(256);
  for (auto _ : state) exchange(vi, "*OPC?\n", reply, state);
  viClose(vi);
}
BENCHMARK(BM_VisaQuery)->ArgName("socket_vxi11_hislip")->DenseRange(0, 2);

void BM_VisaBlock(benchmark::State& state) {
  if (state.range(0) == 1 && !bench().vxi11) return state.SkipWithError("no portmapper");
  ViSession vi = bench().open(bench().resource(static_cast<int>(state.range(0))));
  std::vector<ViByte> reply(kBlockSize + 64);
  for (auto _ : state) exchange(vi, kBlockQuery, reply, state);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlockSize));
  viClose(vi);
}
BENCHMARK(BM_VisaBlock)->ArgName("socket_vxi11_hislip")->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// The floor: one send, then recv until the reply's last byte.
void rawExchange(int fd, const std::string& query, std::vector<char>& buffer, size_t replySize) {
  ::send(fd, query.data(), query.size(), MSG_NOSIGNAL);
  size_t got = 0;
  while (got < replySize) {
    ssize_t n = ::recv(fd, buffer.data() + got, buffer.size() - got, 0);
    if (n <= 0) return;
    got += static_cast<size_t>(n);
  }
}

int rawConnect() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(bench().simulator->port());
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) std::perror("connect");
  return fd;
}

void BM_RawQuery(benchmark::State& state) {
  int fd = rawConnect();
  std::vector<char> buffer(256);
  for (auto _ : state) rawExchange(fd, "*OPC?\n", buffer, 2);
  ::close(fd);
}
BENCHMARK(BM_RawQuery);

void BM_RawBlock(benchmark::State& state) {
  int fd = rawConnect();
  size_t replySize = 2 + std::to_string(kBlockSize).size() + kBlockSize + 1;
  std::vector<char> buffer(replySize);
  for (auto _ : state) rawExchange(fd, kBlockQuery, buffer, replySize);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlockSize));
  ::close(fd);
}
BENCHMARK(BM_RawBlock)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
