#include "platform/devices/linux/net_links.h"

#include <net/if.h>
#include <netlink/errno.h>
#include <netlink/netlink.h>
#include <netlink/route/link.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace tevra::platform {
namespace {

using Socket = std::unique_ptr<nl_sock, decltype(&nl_socket_free)>;
using Cache = std::unique_ptr<nl_cache, decltype(&nl_cache_free)>;
using Link = std::unique_ptr<rtnl_link, decltype(&rtnl_link_put)>;

// libnl reports its own error numbers; the callers speak errno.
int errnoFromNl(int nlError) {
  switch (nlError < 0 ? -nlError : nlError) {
    case 0:
      return 0;
    case NLE_PERM:
      return EPERM;
    case NLE_NOACCESS:
      return EACCES;
    case NLE_NOMEM:
      return ENOMEM;
    case NLE_NODEV:
    case NLE_OBJ_NOTFOUND:
      return ENODEV;
    case NLE_INVAL:
    case NLE_RANGE:
      return EINVAL;
    case NLE_BUSY:
      return EBUSY;
    case NLE_OPNOTSUPP:
      return EOPNOTSUPP;
    default:
      return EIO;
  }
}

int openRoute(Socket& socket) {
  socket.reset(nl_socket_alloc());
  if (!socket) return ENOMEM;
  return errnoFromNl(nl_connect(socket.get(), NETLINK_ROUTE));
}

int getLink(nl_sock* socket, int32_t index, Link& link) {
  rtnl_link* raw = nullptr;
  const int error = errnoFromNl(rtnl_link_get_kernel(socket, index, nullptr, &raw));
  link.reset(raw);
  return error != 0 ? error : (raw == nullptr ? ENODEV : 0);
}

}  // namespace

int listNetLinks(std::vector<NetLink>& links) {
  Socket socket(nullptr, nl_socket_free);
  if (const int error = openRoute(socket)) return error;
  nl_cache* raw = nullptr;
  const int error = errnoFromNl(rtnl_link_alloc_cache(socket.get(), AF_UNSPEC, &raw));
  const Cache cache(raw, nl_cache_free);
  if (error != 0) return error;
  for (nl_object* object = nl_cache_get_first(raw); object != nullptr; object = nl_cache_get_next(object)) {
    auto* link = reinterpret_cast<rtnl_link*>(object);
    const char* name = rtnl_link_get_name(link);
    links.push_back(NetLink{rtnl_link_get_ifindex(link), name != nullptr ? name : ""});
  }
  std::ranges::sort(links, {}, &NetLink::index);
  return 0;
}

int setNetLinkUp(int32_t index, bool up) {
  Socket socket(nullptr, nl_socket_free);
  if (const int error = openRoute(socket)) return error;
  Link current(nullptr, rtnl_link_put);
  if (const int error = getLink(socket.get(), index, current)) return error;
  const Link change(rtnl_link_alloc(), rtnl_link_put);
  if (!change) return ENOMEM;
  if (up) {
    rtnl_link_set_flags(change.get(), IFF_UP);
  } else {
    rtnl_link_unset_flags(change.get(), IFF_UP);
  }
  return errnoFromNl(rtnl_link_change(socket.get(), current.get(), change.get(), 0));
}

int readNetLinkUp(int32_t index, bool& up) {
  Socket socket(nullptr, nl_socket_free);
  if (const int error = openRoute(socket)) return error;
  Link link(nullptr, rtnl_link_put);
  if (const int error = getLink(socket.get(), index, link)) return error;
  up = (rtnl_link_get_flags(link.get()) & IFF_UP) != 0;
  return 0;
}

}  // namespace tevra::platform
