#include "sim/vxi11/interrupt_channel.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "sim/vxi11/record_stream.h"
#include "sim/vxi11/rpc_message.h"
#include "vxi11/vxi11_core.h"

namespace tevra::sim::vxi11 {
namespace {

constexpr int kConnectTimeoutMs = 2000;

// A non-blocking connect that gives up after the bound.
int connectWithin(const sockaddr_in& address) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  if (!connected && errno == EINPROGRESS) {
    pollfd p{fd, POLLOUT, 0};
    int err = 0;
    socklen_t length = sizeof err;
    connected = ::poll(&p, 1, kConnectTimeoutMs) == 1 &&
                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &length) == 0 && err == 0;
  }
  if (!connected) {
    ::close(fd);
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

}  // namespace

std::shared_ptr<InterruptChannel> InterruptChannel::connect(uint32_t address, uint16_t port) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(address);
  int fd = connectWithin(to);
  return fd < 0 ? nullptr : std::make_shared<InterruptChannel>(fd);
}

InterruptChannel::~InterruptChannel() {
  ::close(fd_);
}

bool InterruptChannel::dropReplies() {
  char scratch[512];
  for (;;) {
    ssize_t n = ::recv(fd_, scratch, sizeof scratch, MSG_DONTWAIT);
    if (n > 0) continue;
    if (n < 0 && errno == EINTR) continue;
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
  }
}

bool InterruptChannel::requestService(const std::string& handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!dropReplies()) return false;
  Device_SrqParms parms{};
  parms.handle.handle_len = static_cast<u_int>(handle.size());
  parms.handle.handle_val = const_cast<char*>(handle.data());
  std::string call = callMessage(nextXid_++, DEVICE_INTR, DEVICE_INTR_VERSION, device_intr_srq,
                                 reinterpret_cast<xdrproc_t>(xdr_Device_SrqParms), &parms);
  return !call.empty() && writeRecord(fd_, call);
}

}  // namespace tevra::sim::vxi11
