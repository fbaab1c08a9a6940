// The simulator's raw SCPI front end: a TCP listener on 127.0.0.1 and one thread per connection. Messages
// end at "\n" outside definite-length blocks; each reply leaves in one send (TCP_NODELAY), unless a fault
// splits, delays or drops it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "sim/instrument/instrument.h"

namespace tevra::sim {

class TcpServer {
 public:
  static constexpr size_t kMaxMessageSize = 64u << 20;
  static constexpr size_t kMaxConnections = 64;
  // The pause between the pieces of a split reply, so that they leave as separate segments.
  static constexpr int kSplitPauseMs = 5;

  explicit TcpServer(Instrument& instrument) : instrument_(instrument) {}
  ~TcpServer() { stop(); }
  TcpServer(const TcpServer&) = delete;
  TcpServer& operator=(const TcpServer&) = delete;

  // Listens on 127.0.0.1:port (0 = a free port); false with a reason when that fails.
  bool start(uint16_t port, std::string* error);
  uint16_t port() const { return port_; }
  // Closes the listener and every connection and waits for their threads; a delayed reply is abandoned.
  void stop();

 private:
  struct Session {
    int fd = -1;
    std::thread thread;
    std::atomic<bool> done{false};
  };

  void acceptLoop();
  void serve(Session& session);
  bool handleMessage(Session& session, Connection& connection, const std::string& message);
  bool sendReply(int fd, const std::string& reply, const ReplyPlan& plan);
  // Waits for ms or until stop(); false when stopping.
  bool pause(int ms);
  void reapFinished();

  Instrument& instrument_;
  int listenFd_ = -1;
  int wakeFd_ = -1;
  uint16_t port_ = 0;
  std::thread acceptor_;
  std::mutex mutex_;
  std::condition_variable stopped_;
  bool stopping_ = false;
  std::list<std::unique_ptr<Session>> sessions_;
};

}  // namespace tevra::sim
