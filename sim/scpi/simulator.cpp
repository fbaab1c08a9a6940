#include "sim/scpi/simulator.h"

#include <stdexcept>

namespace tevra::sim {

void Simulator::start(uint16_t port) {
  std::string error;
  if (!server_.start(port, &error)) throw std::runtime_error(error);
}

std::string Simulator::resource() const {
  return "TCPIP0::127.0.0.1::" + std::to_string(port()) + "::SOCKET";
}

}  // namespace tevra::sim
