#include "sim/net/simulator.h"

#include <stdexcept>

namespace tevra::sim {

void Simulator::start(uint16_t port) {
  std::string error;
  if (!server_.start(port, &error)) throw std::runtime_error(error);
}

bool Simulator::startVxi11(uint16_t port, std::string* registrationError) {
  std::string error;
  if (!vxi11_.start(port, &error)) throw std::runtime_error(error);
  return vxi11_.registerWithPortmapper(registrationError);
}

void Simulator::startHislip(uint16_t port, bool overlapped) {
  std::string error;
  hislip_.setOverlapped(overlapped);
  if (!hislip_.start(port, &error)) throw std::runtime_error(error);
}

std::string Simulator::resource() const {
  return "TCPIP0::127.0.0.1::" + std::to_string(port()) + "::SOCKET";
}

}  // namespace tevra::sim
