// A TCP listener on 127.0.0.1 for the simulator's front ends: each accepted connection (TCP_NODELAY) is
// served on a thread of its own until its serve function returns.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace tevra::sim {

class LoopbackListener {
 public:
  // Serves one connection on its own thread; the listener closes the socket after it returns.
  using Serve = std::function<void(int fd)>;

  LoopbackListener(size_t maxConnections, Serve serve)
      : maxConnections_(maxConnections), serve_(std::move(serve)) {}
  ~LoopbackListener() { stop(); }
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;

  // Listens on 127.0.0.1:port (0 = a free port); false with a reason when that fails.
  bool start(uint16_t port, std::string* error);
  uint16_t port() const { return port_; }
  // Closes the listener, shuts every connection down (which ends their reads) and waits for their threads.
  void stop();
  // Waits ms or until stop(); false when stopping.
  bool pause(int ms);

 private:
  struct Session {
    int fd = -1;
    std::thread thread;
    std::atomic<bool> done{false};
  };

  void acceptLoop();
  void run(Session& session);
  void reapFinished();

  size_t maxConnections_;
  Serve serve_;
  int listenFd_ = -1;
  int wakeFd_ = -1;
  uint16_t port_ = 0;
  std::thread acceptor_;
  std::mutex mutex_;
  std::condition_variable stopped_;
  bool stopping_ = false;
  std::list<std::unique_ptr<Session>> sessions_;
};

// Sends every byte (MSG_NOSIGNAL); false when the connection fails.
bool sendAll(int fd, const char* data, size_t size);

}  // namespace tevra::sim
