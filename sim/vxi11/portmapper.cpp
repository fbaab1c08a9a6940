#include "sim/vxi11/portmapper.h"

#include <arpa/inet.h>
#include <netconfig.h>
#include <netinet/in.h>
#include <rpc/rpc.h>
#include <sys/socket.h>
#include <unistd.h>

#include <rpc/pmap_prot.h>

#include <optional>

#include "sim/vxi11/rpc_message.h"

namespace tevra::sim::vxi11 {
namespace {

constexpr const char* kLoopbackHost = "127.0.0.1";

sockaddr_in loopbackAddress(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// The "tcp" entry of the network configuration, which the registration names.
class TcpNetconfig {
 public:
  TcpNetconfig() : entry_(getnetconfigent("tcp")) {}
  ~TcpNetconfig() {
    if (entry_ != nullptr) freenetconfigent(entry_);
  }
  TcpNetconfig(const TcpNetconfig&) = delete;
  TcpNetconfig& operator=(const TcpNetconfig&) = delete;
  const netconfig* get() const { return entry_; }

 private:
  netconfig* entry_;
};

std::optional<uint16_t> registeredPort(uint32_t program, uint32_t version, const netconfig* tcp) {
  sockaddr_storage storage{};
  netbuf address{sizeof storage, 0, &storage};
  if (!rpcb_getaddr(program, version, tcp, &address, kLoopbackHost)) return std::nullopt;
  if (storage.ss_family != AF_INET) return std::nullopt;
  return ntohs(reinterpret_cast<const sockaddr_in*>(&storage)->sin_port);
}

// Loopback connections are accepted or refused at once, so a plain connect is bounded here.
bool somethingAccepts(uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in address = loopbackAddress(port);
  bool accepted = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return accepted;
}

bool setRegistration(uint32_t program, uint32_t version, const netconfig* tcp, uint16_t port) {
  sockaddr_in address = loopbackAddress(port);
  netbuf buffer{sizeof address, sizeof address, &address};
  return rpcb_set(program, version, tcp, &buffer) != 0;
}

}  // namespace

bool portmapperAnswers(int timeoutMs) {
  sockaddr_in address = loopbackAddress(PMAPPORT);
  int sock = RPC_ANYSOCK;
  CLIENT* client = clnttcp_create(&address, PMAPPROG, PMAPVERS, &sock, 0, 0);
  if (client == nullptr) return false;
  timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  clnt_control(client, CLSET_TIMEOUT, reinterpret_cast<char*>(&timeout));
  auto nothing = reinterpret_cast<xdrproc_t>(xdrNothing);
  bool answered = clnt_call(client, NULLPROC, nothing, nullptr, nothing, nullptr, timeout) == RPC_SUCCESS;
  clnt_destroy(client);
  return answered;
}

bool registerProgram(uint32_t program, uint32_t version, uint16_t port, std::string* error) {
  TcpNetconfig tcp;
  if (tcp.get() == nullptr) {
    *error = "no \"tcp\" entry in the network configuration (/etc/netconfig)";
    return false;
  }
  if (setRegistration(program, version, tcp.get(), port)) return true;
  std::optional<uint16_t> existing = registeredPort(program, version, tcp.get());
  if (existing == port) return true;
  if (existing && somethingAccepts(*existing)) {
    *error =
        "the portmapper already names a live server for the program, on port " + std::to_string(*existing);
    return false;
  }
  rpcb_unset(program, version, tcp.get());
  if (setRegistration(program, version, tcp.get(), port)) return true;
  *error = "the portmapper refused the registration";
  return false;
}

void unregisterProgram(uint32_t program, uint32_t version, uint16_t port) {
  TcpNetconfig tcp;
  if (tcp.get() == nullptr) return;
  if (registeredPort(program, version, tcp.get()) == port) rpcb_unset(program, version, tcp.get());
}

}  // namespace tevra::sim::vxi11
