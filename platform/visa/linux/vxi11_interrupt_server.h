// The client's end of the VXI-11 interrupt channel: an ONC RPC server for DEVICE_INTR on a TCP port of the
// local address by which the device was reached, on a thread of its own. Each device_intr_srq is answered
// and posted to the session's event queue.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "platform/visa/event_queue.h"

namespace tevra::platform::visa {

class InterruptServer {
 public:
  // Listens on a free port of the IPv4 address (network byte order); null when that fails.
  static std::unique_ptr<InterruptServer> start(uint32_t address, EventQueue* queue);
  InterruptServer(int listenFd, int wakeFd, EventQueue* queue);
  ~InterruptServer();
  InterruptServer(const InterruptServer&) = delete;
  InterruptServer& operator=(const InterruptServer&) = delete;

  // The port in host byte order.
  uint16_t port() const;

 private:
  void run();
  // Serves the records in buffer_ that are whole; false when the connection must end.
  bool serveRecords(int fd);
  void answer(int fd, const char* record, size_t size);

  int listenFd_;
  int wakeFd_;
  EventQueue* queue_;
  std::string buffer_;
  std::thread thread_;
};

}  // namespace tevra::platform::visa
