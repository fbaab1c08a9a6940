// Direct I/O against the simulator on loopback: the driver's query and selection sequences, the same
// exchanges on a raw TCP socket (the floor), and through pyvisa with pyvisa-py, in one run.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_ratio.h"
#include "sim/net/simulator.h"
#include "src/log/driver_logs.h"
#include "tests/support/temp_dir.h"
#include "tevra.h"

namespace {

const std::vector<std::string> kSelect = {":OUTput OFF",
                                          ":OUTput:MODulation:STATe OFF",
                                          ":SOURce:RADio:ARB:STATe OFF",
                                          ":SOURce:POWer:LEVel:IMMediate:AMPLitude -10.000000",
                                          ":SOURce:FREQuency:FIXed 2412MHz",
                                          ":SOURce:RADio:ARB:CLOCK:SRATe 40MHz",
                                          ":SOURce:RADio:ARB:TRIGger:TYPE SINGle",
                                          ":SOURce:RADio:ARB:STATe ON",
                                          ":SOURce:RADio:ARB:TRIGger BUS",
                                          ":SOURce:RADio:ARB:CLOCK:SRATe 40MHz",
                                          ":SOURce:RADio:ARB:WAVEform \"SEQ:CW_TONE\"",
                                          ":SOURce:RADio:ARB:TRIGger:TYPE SINGle"};

struct Bench {
  tevra::test::TempDir storage;
  tevra::test::TempDir traces;
  std::unique_ptr<tevra::sim::Simulator> simulator;

  Bench() {
    simulator = std::make_unique<tevra::sim::Simulator>(
        tevra::sim::InstrumentConfig{.storageDir = storage.path(), .profile = {}});
    simulator->start();
    tevra::log::traceLog().Open(traces.file("trace.txt").c_str(), 0, true);
    Tevra_InitViSession(simulator->resource().c_str());
  }
};

Bench& bench() {
  static Bench b;
  return b;
}

class RawSocket {
 public:
  explicit RawSocket(uint16_t port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) std::perror("connect");
  }
  ~RawSocket() { ::close(fd_); }
  void send(const std::string& command) {
    const std::string message = command + "\n";
    if (::send(fd_, message.data(), message.size(), MSG_NOSIGNAL) < 0) std::perror("send");
  }
  // Replies here are one short line, which arrives in one segment.
  std::string receiveLine() {
    std::string line;
    char buffer[256];
    while (line.find('\n') == std::string::npos) {
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      line.append(buffer, static_cast<size_t>(n));
    }
    return line;
  }

 private:
  int fd_;
};

void BM_DriverSequencePlaying(benchmark::State& state) {
  bench();
  for (auto _ : state) benchmark::DoNotOptimize(Tevra_ARBEx_SequencePlaying(0));
}
BENCHMARK(BM_DriverSequencePlaying);

void BM_RawSocketQuery(benchmark::State& state) {
  RawSocket socket(bench().simulator->port());
  for (auto _ : state) {
    socket.send("STATus:OPERation:COND?");
    benchmark::DoNotOptimize(socket.receiveLine());
  }
}
BENCHMARK(BM_RawSocketQuery);

void BM_DriverSelectSequence(benchmark::State& state) {
  bench();
  for (auto _ : state) benchmark::DoNotOptimize(Tevra_ARBEx_Select_Sequence("CW_TONE", -10, 0, 40));
}
BENCHMARK(BM_DriverSelectSequence);

void BM_RawSocketSelect(benchmark::State& state) {
  RawSocket socket(bench().simulator->port());
  for (auto _ : state) {
    for (const auto& command : kSelect) socket.send(command);
    socket.send("SYST:ERR?");
    benchmark::DoNotOptimize(socket.receiveLine());
    socket.send(":OUTput:MODulation:STATe ON");
  }
}
BENCHMARK(BM_RawSocketSelect);

// pyvisa-py times its own loop; the benchmark reports its per-exchange times.
void pyvisaTimes(double* query, double* select) {
  const std::string command =
      "/usr/bin/python3 " TEVRA_BENCH_DIR "/pyvisa_roundtrip.py " + bench().simulator->resource() + " 500";
  *query = *select = 0;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return;
  if (std::fscanf(pipe, "%lf %lf", query, select) != 2) *query = *select = 0;
  ::pclose(pipe);
}

void BM_PyvisaPy(benchmark::State& state, bool select) {
  for (auto _ : state) {
    double query = 0, selectTime = 0;
    pyvisaTimes(&query, &selectTime);
    if (query <= 0) state.SkipWithError("pyvisa-py did not run");
    state.SetIterationTime((select ? selectTime : query) * 1e-6);
  }
}
BENCHMARK_CAPTURE(BM_PyvisaPy, Query, false)->UseManualTime()->Iterations(1);
BENCHMARK_CAPTURE(BM_PyvisaPy, Select, true)->UseManualTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  return tevra::bench::runWithRatios(
      argc, argv,
      {{"BM_DriverSequencePlaying", "BM_RawSocketQuery"},
       {"BM_DriverSequencePlaying", "BM_PyvisaPy/Query/iterations:1/manual_time"},
       {"BM_DriverSelectSequence", "BM_RawSocketSelect"},
       {"BM_DriverSelectSequence", "BM_PyvisaPy/Select/iterations:1/manual_time"}});
}
