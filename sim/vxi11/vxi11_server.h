// The simulator's VXI-11 core channel: ONC RPC over TCP on 127.0.0.1, one thread per connection, and each
// link (create_link to destroy_link) one connection of the engine, with its own errors, faults and I/O
// ownership. It serves create_link (device "inst0", with the port of its abort channel), device_write,
// device_read, device_clear, device_readstb, device_trigger, device_lock, device_unlock, device_enable_srq,
// create_intr_chan, destroy_intr_chan and destroy_link, and device_abort on the abort channel; other
// procedures are unavailable. A locked device refuses the other links' calls.
// A connection's links end with it. Clients find the port through the portmapper once it is registered.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "sim/instrument/instrument.h"
#include "sim/net/loopback_listener.h"
#include "sim/vxi11/link_table.h"

namespace tevra::sim::vxi11 {

class Vxi11Server {
 public:
  static constexpr size_t kMaxLinks = 64;
  static constexpr size_t kMaxConnections = 64;
  static constexpr const char* kDeviceName = "inst0";

  explicit Vxi11Server(Instrument& instrument)
      : links_(instrument, kMaxLinks),
        listener_(kMaxConnections, [this](int fd) { serve(fd); }),
        abortListener_(kMaxConnections, [this](int fd) { serveAbort(fd); }) {}
  ~Vxi11Server() { stop(); }
  Vxi11Server(const Vxi11Server&) = delete;
  Vxi11Server& operator=(const Vxi11Server&) = delete;

  // Listens on 127.0.0.1:port (0 = a free port), and for the abort channel on a free port; false with a
  // reason when that fails.
  bool start(uint16_t port, std::string* error);
  uint16_t port() const { return listener_.port(); }
  // Registers the core channel with the portmapper on 127.0.0.1; false with the reason when none answers
  // or it refuses.
  bool registerWithPortmapper(std::string* error);
  // Withdraws the registration, ends every link and connection and waits for their threads.
  void stop();

 private:
  void serve(int fd);
  void serveAbort(int fd);

  LinkTable links_;
  LoopbackListener listener_;
  LoopbackListener abortListener_;
  std::atomic<bool> registered_{false};
};

}  // namespace tevra::sim::vxi11
