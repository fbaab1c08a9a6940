// The simulated instrument in-process: the engine and its TCP front end on a loopback port, and on demand
// its VXI-11 core channel.
//
//   tevra::sim::Simulator sim({.storageDir = folder});
//   sim.start();                      // a free port on 127.0.0.1
//   "TCPIP0::127.0.0.1::" + std::to_string(sim.port()) + "::SOCKET"
//   sim.startVxi11(0, &why);          // a free port, registered with the portmapper when one answers
//   "TCPIP0::127.0.0.1::inst0::INSTR"
//   sim.startHislip(0);               // a free port
//   sim.hislipResource()              // "TCPIP0::127.0.0.1::hislip0,<port>::INSTR"
#pragma once

#include <cstdint>
#include <string>

#include "sim/hislip/hislip_server.h"
#include "sim/instrument/instrument.h"
#include "sim/net/tcp_server.h"
#include "sim/vxi11/vxi11_server.h"

namespace tevra::sim {

class Simulator {
 public:
  // Throws std::runtime_error when the storage folder cannot be used.
  explicit Simulator(const InstrumentConfig& config)
      : instrument_(config), server_(instrument_), vxi11_(instrument_), hislip_(instrument_) {}

  // Throws std::runtime_error when the port cannot be opened.
  void start(uint16_t port = 0);
  // Serves the VXI-11 core channel on 127.0.0.1:port (0 = a free port) and registers it with the
  // portmapper. Throws std::runtime_error when the port cannot be opened; returns false with the reason
  // when the registration fails (the channel is served all the same).
  bool startVxi11(uint16_t port, std::string* registrationError);
  // Serves HiSLIP on 127.0.0.1:port (0 = a free port), in synchronized or overlapped mode. Throws
  // std::runtime_error when the port cannot be opened.
  void startHislip(uint16_t port, bool overlapped = false);
  void stop() {
    hislip_.stop();
    vxi11_.stop();
    server_.stop();
  }
  uint16_t port() const { return server_.port(); }
  uint16_t vxi11Port() const { return vxi11_.port(); }
  uint16_t hislipPort() const { return hislip_.port(); }
  std::string hislipResource() const {
    return "TCPIP0::127.0.0.1::hislip0," + std::to_string(hislip_.port()) + "::INSTR";
  }
  std::string resource() const;
  static std::string vxi11Resource() { return "TCPIP0::127.0.0.1::inst0::INSTR"; }
  Instrument& instrument() { return instrument_; }

 private:
  Instrument instrument_;
  TcpServer server_;
  vxi11::Vxi11Server vxi11_;
  hislip::HislipServer hislip_;
};

}  // namespace tevra::sim
