#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/visa/instrument_link.h"

namespace tevra::platform::visa {
namespace {

bool isConnectionLoss(int err) {
  return err == ECONNRESET || err == EPIPE || err == ENOTCONN || err == ECONNABORTED || err == ETIMEDOUT ||
         err == EHOSTUNREACH || err == ENETUNREACH || err == ENETRESET;
}

ViStatus statusFromErrno(int err) {
  return isConnectionLoss(err) ? VI_ERROR_CONN_LOST : VI_ERROR_IO;
}

// Waits until the socket is ready for events; VI_ERROR_TMO at the deadline.
ViStatus waitFor(int fd, short events, const Deadline& deadline) {
  for (;;) {
    pollfd p{fd, events, 0};
    int n = ::poll(&p, 1, deadline.pollMilliseconds());
    if (n > 0) return VI_SUCCESS;
    if (n == 0) return VI_ERROR_TMO;
    if (errno != EINTR) return statusFromErrno(errno);
  }
}

class TcpStream final : public ByteStream {
 public:
  explicit TcpStream(int fd) : fd_(fd) {}
  ~TcpStream() override { ::close(fd_); }
  TcpStream(const TcpStream&) = delete;
  TcpStream& operator=(const TcpStream&) = delete;

  ViStatus sendAll(const void* data, size_t size, const Deadline& deadline, size_t* sent) override {
    const char* bytes = static_cast<const char*>(data);
    *sent = 0;
    while (*sent < size) {
      ssize_t n = ::send(fd_, bytes + *sent, size - *sent, MSG_NOSIGNAL);
      if (n > 0) {
        *sent += static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return statusFromErrno(errno);
      ViStatus status = waitFor(fd_, POLLOUT, deadline);
      if (status < 0) return status;
    }
    return VI_SUCCESS;
  }

  ViStatus receiveSome(void* data, size_t size, const Deadline& deadline, size_t* received) override {
    *received = 0;
    for (;;) {
      ssize_t n = ::recv(fd_, data, size, 0);
      if (n > 0) {
        *received = static_cast<size_t>(n);
        return VI_SUCCESS;
      }
      if (n == 0) return VI_ERROR_CONN_LOST;
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) return statusFromErrno(errno);
      ViStatus status = waitFor(fd_, POLLIN, deadline);
      if (status < 0) return status;
    }
  }

  void shutdown() override { ::shutdown(fd_, SHUT_RDWR); }

  bool localIpv4(uint32_t* address) const override {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length) != 0 || local.sin_family != AF_INET)
      return false;
    *address = local.sin_addr.s_addr;
    return true;
  }

 private:
  int fd_;
};

// Connects a non-blocking socket to one address before the deadline; the socket or -1 with *status.
int connectAddress(const addrinfo& address, const Deadline& deadline, ViStatus* status) {
  int fd =
      ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol);
  if (fd < 0) {
    *status = VI_ERROR_SYSTEM_ERROR;
    return -1;
  }
  if (::connect(fd, address.ai_addr, address.ai_addrlen) != 0 && errno != EINPROGRESS) {
    *status = VI_ERROR_RSRC_NFOUND;
    ::close(fd);
    return -1;
  }
  *status = waitFor(fd, POLLOUT, deadline);
  int err = 0;
  socklen_t length = sizeof err;
  if (*status >= 0 && (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &length) != 0 || err != 0)) {
    *status = VI_ERROR_RSRC_NFOUND;
  }
  if (*status < 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Small messages go out at once, and a dead peer is noticed on an idle connection.
void tuneSocket(int fd) {
  int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
}

}  // namespace

std::unique_ptr<ByteStream> connectTcp(const std::string& host, uint16_t port, const Deadline& deadline,
                                       ViStatus* status) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* addresses = nullptr;
  std::string service = std::to_string(port);
  if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &addresses) != 0) {
    *status = VI_ERROR_RSRC_NFOUND;
    return nullptr;
  }
  *status = VI_ERROR_RSRC_NFOUND;
  int fd = -1;
  for (addrinfo* a = addresses; a != nullptr && fd < 0 && !deadline.expired(); a = a->ai_next) {
    fd = connectAddress(*a, deadline, status);
  }
  ::freeaddrinfo(addresses);
  if (fd < 0) return nullptr;
  tuneSocket(fd);
  *status = VI_SUCCESS;
  return std::make_unique<TcpStream>(fd);
}

}  // namespace tevra::platform::visa
