// The connection to a client's interrupt server (create_intr_chan) on which the device calls
// device_intr_srq. A call is not waited for: the replies are read and dropped before the next call.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace tevra::sim::vxi11 {

class InterruptChannel {
 public:
  // Connects to the IPv4 address and port (host order) within a bound; null when that fails.
  static std::shared_ptr<InterruptChannel> connect(uint32_t address, uint16_t port);
  explicit InterruptChannel(int fd) : fd_(fd) {}
  ~InterruptChannel();
  InterruptChannel(const InterruptChannel&) = delete;
  InterruptChannel& operator=(const InterruptChannel&) = delete;

  // Calls device_intr_srq with the handle; false when the connection has failed.
  bool requestService(const std::string& handle);

 private:
  // Reads and drops the replies that have arrived; false when the client closed the connection.
  bool dropReplies();

  std::mutex mutex_;
  int fd_;
  uint32_t nextXid_ = 1;
};

}  // namespace tevra::sim::vxi11
