#include "platform/visa/linux/vxi11_interrupt_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <rpc/rpc.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/visa/linux/onc_rpc.h"
#include "vxi11/vxi11_core.h"

namespace tevra::platform::visa {
namespace {

// A device_intr_srq call: its header, credentials and a handle of at most 40 bytes.
constexpr size_t kMaxRecord = 4096;

// A reply that accepts the call with an empty result, record mark included; empty when it does not encode.
std::string acceptReply(uint32_t xid) {
  rpc_msg reply{};
  reply.rm_xid = xid;
  reply.rm_direction = REPLY;
  reply.rm_reply.rp_stat = MSG_ACCEPTED;
  reply.acpted_rply.ar_verf = _null_auth;
  reply.acpted_rply.ar_stat = SUCCESS;
  reply.acpted_rply.ar_results.where = nullptr;
  reply.acpted_rply.ar_results.proc = xdrRoutine(xdrNothing);
  std::string record(4 + 64, '\0');
  XdrMemory xdrs(record.data() + 4, record.size() - 4, XDR_ENCODE);
  if (xdr_replymsg(xdrs.get(), &reply) == 0) return {};
  const size_t length = xdrs.position();
  putRecordMark(record.data(), length);
  record.resize(4 + length);
  return record;
}

// Whether the record is a device_intr_srq call; *xid is its transaction id.
bool isServiceRequest(const char* record, size_t size, uint32_t* xid) {
  char credentials[2 * MAX_AUTH_BYTES];
  rpc_msg call{};
  call.rm_call.cb_cred.oa_base = credentials;
  call.rm_call.cb_verf.oa_base = credentials + MAX_AUTH_BYTES;
  XdrMemory xdrs(const_cast<char*>(record), size, XDR_DECODE);
  bool decoded = xdr_callmsg(xdrs.get(), &call) != 0 && call.rm_direction == CALL;
  Device_SrqParms parms{};
  bool srq = decoded && call.rm_call.cb_prog == DEVICE_INTR && call.rm_call.cb_vers == DEVICE_INTR_VERSION &&
             call.rm_call.cb_proc == device_intr_srq && xdr_Device_SrqParms(xdrs.get(), &parms) != 0;
  xdr_free(reinterpret_cast<xdrproc_t>(xdr_Device_SrqParms), &parms);
  *xid = call.rm_xid;
  return srq;
}

}  // namespace

std::unique_ptr<InterruptServer> InterruptServer::start(uint32_t address, EventQueue* queue) {
  int listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = address;
  if (listenFd < 0 || wakeFd < 0 ||
      ::bind(listenFd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      ::listen(listenFd, 4) != 0) {
    if (listenFd >= 0) ::close(listenFd);
    if (wakeFd >= 0) ::close(wakeFd);
    return nullptr;
  }
  return std::make_unique<InterruptServer>(listenFd, wakeFd, queue);
}

InterruptServer::InterruptServer(int listenFd, int wakeFd, EventQueue* queue)
    : listenFd_(listenFd), wakeFd_(wakeFd), queue_(queue), thread_([this] { run(); }) {}

InterruptServer::~InterruptServer() {
  uint64_t one = 1;
  [[maybe_unused]] ssize_t ignored = ::write(wakeFd_, &one, sizeof one);
  thread_.join();
  ::close(listenFd_);
  ::close(wakeFd_);
}

uint16_t InterruptServer::port() const {
  sockaddr_in local{};
  socklen_t length = sizeof local;
  if (::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&local), &length) != 0) return 0;
  return ntohs(local.sin_port);
}

// One connection at a time: the device's; a new one replaces it.
void InterruptServer::run() {
  int connection = -1;
  for (;;) {
    pollfd fds[3] = {{wakeFd_, POLLIN, 0}, {listenFd_, POLLIN, 0}, {connection, POLLIN, 0}};
    if (::poll(fds, connection >= 0 ? 3 : 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[0].revents != 0) break;
    if (fds[1].revents != 0) {
      int accepted = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (accepted >= 0) {
        if (connection >= 0) ::close(connection);
        connection = accepted;
        buffer_.clear();
      }
      continue;
    }
    if (connection < 0 || fds[2].revents == 0) continue;
    char chunk[1024];
    ssize_t n = ::recv(connection, chunk, sizeof chunk, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n > 0) buffer_.append(chunk, static_cast<size_t>(n));
    if (n <= 0 || !serveRecords(connection)) {
      ::close(connection);
      connection = -1;
      buffer_.clear();
    }
  }
  if (connection >= 0) ::close(connection);
}

bool InterruptServer::serveRecords(int fd) {
  for (;;) {
    // Records of one fragment: a device_intr_srq call is small.
    if (buffer_.size() < 4) return true;
    uint32_t mark = 0;
    std::memcpy(&mark, buffer_.data(), sizeof mark);
    mark = ntohl(mark);
    size_t length = mark & ~kLastFragment;
    if ((mark & kLastFragment) == 0 || length > kMaxRecord) return false;
    if (buffer_.size() < 4 + length) return true;
    answer(fd, buffer_.data() + 4, length);
    buffer_.erase(0, 4 + length);
  }
}

void InterruptServer::answer(int fd, const char* record, size_t size) {
  uint32_t xid = 0;
  if (!isServiceRequest(record, size, &xid)) return;
  queue_->post();
  std::string reply = acceptReply(xid);
  [[maybe_unused]] ssize_t ignored = ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

}  // namespace tevra::platform::visa
