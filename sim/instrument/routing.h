// The routing hardware: the primary RF port, the four reference-port flags, the TTL output lines of the
// main board's multiplexer, and the sidecar loss compensation switch. None of it changes on *RST.
#pragma once

#include <array>
#include <bitset>

namespace tevra::sim {

class Routing {
 public:
  static constexpr int kMaxPrimaryPort = 4;
  static constexpr int kReferencePorts = 4;
  static constexpr int kTtlLines = 32;

  // ScpiError -222 outside 0 to 4.
  void setPrimaryPort(int port);
  int primaryPort() const { return primaryPort_; }
  // Ports 1 to 4; ScpiError -114 for other ports.
  void setReferencePort(int port, bool on);
  bool referencePort(int port) const;
  // Lines 0 to 31; ScpiError -222 for other lines.
  void setTtlLine(int line, bool high);
  bool ttlLine(int line) const;
  void setSidecarCompensation(bool on) { sidecarCompensation_ = on; }
  bool sidecarCompensation() const { return sidecarCompensation_; }

 private:
  int primaryPort_ = 1;
  std::array<bool, kReferencePorts> referencePorts_{};
  std::bitset<kTtlLines> ttl_;
  bool sidecarCompensation_ = true;
};

}  // namespace tevra::sim
