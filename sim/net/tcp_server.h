// The simulator's raw SCPI front end: a TCP listener on 127.0.0.1 and one thread per connection. Messages
// end at "\n" outside definite-length blocks; each reply leaves in one send (TCP_NODELAY), unless a fault
// splits, delays or drops it.
#pragma once

#include <cstdint>
#include <string>

#include "sim/instrument/instrument.h"
#include "sim/net/loopback_listener.h"

namespace tevra::sim {

class TcpServer {
 public:
  // A 64 MiB file of the generator memory with its MMEMory:DATA command fits.
  static constexpr size_t kMaxMessageSize = (64u << 20) + (64u << 10);
  static constexpr size_t kMaxConnections = 64;
  // The pause between the pieces of a split reply, so that they leave as separate segments.
  static constexpr int kSplitPauseMs = 5;

  explicit TcpServer(Instrument& instrument)
      : instrument_(instrument), listener_(kMaxConnections, [this](int fd) { serve(fd); }) {}
  ~TcpServer() { stop(); }
  TcpServer(const TcpServer&) = delete;
  TcpServer& operator=(const TcpServer&) = delete;

  // Listens on 127.0.0.1:port (0 = a free port); false with a reason when that fails.
  bool start(uint16_t port, std::string* error) { return listener_.start(port, error); }
  uint16_t port() const { return listener_.port(); }
  // Closes the listener and every connection and waits for their threads; a delayed reply is abandoned.
  void stop() { listener_.stop(); }

 private:
  void serve(int fd);
  bool handleMessage(int fd, Connection& connection, const std::string& message,
                     const scpi::SpooledBlocks& blocks);
  bool sendReply(int fd, const std::string& reply, const ReplyPlan& plan);

  Instrument& instrument_;
  LoopbackListener listener_;
};

}  // namespace tevra::sim
