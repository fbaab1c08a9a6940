// The simulated instrument in-process: the engine and its TCP front end on a loopback port.
//
//   tevra::sim::Simulator sim({.storageDir = folder});
//   sim.start();                      // a free port on 127.0.0.1
//   "TCPIP0::127.0.0.1::" + std::to_string(sim.port()) + "::SOCKET"
#pragma once

#include <cstdint>
#include <string>

#include "sim/instrument/instrument.h"
#include "sim/scpi/tcp_server.h"

namespace tevra::sim {

class Simulator {
 public:
  // Throws std::runtime_error when the storage folder cannot be used.
  explicit Simulator(const InstrumentConfig& config) : instrument_(config), server_(instrument_) {}

  // Throws std::runtime_error when the port cannot be opened.
  void start(uint16_t port = 0);
  void stop() { server_.stop(); }
  uint16_t port() const { return server_.port(); }
  std::string resource() const;
  Instrument& instrument() { return instrument_; }

 private:
  Instrument instrument_;
  TcpServer server_;
};

}  // namespace tevra::sim
