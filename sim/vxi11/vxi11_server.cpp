#include "sim/vxi11/vxi11_server.h"

#include <strings.h>

#include <algorithm>
#include <vector>

#include "sim/net/tcp_server.h"
#include "sim/vxi11/interrupt_channel.h"
#include "sim/vxi11/portmapper.h"
#include "sim/vxi11/record_stream.h"
#include "sim/vxi11/rpc_message.h"
#include "vxi11/vxi11_core.h"

namespace tevra::sim::vxi11 {
namespace {

static_assert(VXI11_MAX_RECV_SIZE <= TcpServer::kMaxMessageSize,
              "one device_write never carries more than a whole program message");

// A device_write record: the call header with its credentials, the write's parameters and its data.
constexpr size_t kMaxRecordSize = size_t{VXI11_MAX_RECV_SIZE} + 4096;
// An abort call: the call header with its credentials and a link identifier.
constexpr size_t kSmallRecordSize = 4096;
// How long the portmapper may take to answer before the registration is given up.
constexpr int kPortmapperTimeoutMs = 2000;

constexpr int32_t kFlagWaitLock = 0x01;
constexpr int32_t kFlagEnd = 0x08;
constexpr int32_t kFlagTermCharSet = 0x80;

struct Answer {
  std::string reply;
  bool close = false;  // end the connection after the reply
};

// The calls of one connection, on the links it created.
class CallHandler {
 public:
  CallHandler(LinkTable& links, uint16_t abortPort) : links_(links), abortPort_(abortPort) {}
  ~CallHandler() {
    for (int32_t id : own_) links_.destroy(id);
  }
  CallHandler(const CallHandler&) = delete;
  CallHandler& operator=(const CallHandler&) = delete;

  Answer answer(std::string& record) {
    RpcCall call(record);
    if (!call.isCall()) return {{}, true};
    if (call.rpcVersion() != 2) return {rpcMismatchReply(call.xid())};
    if (call.program() != DEVICE_CORE) return {acceptedErrorReply(call.xid(), PROG_UNAVAIL)};
    if (call.version() != DEVICE_CORE_VERSION)
      return {programMismatchReply(call.xid(), DEVICE_CORE_VERSION, DEVICE_CORE_VERSION)};
    switch (call.procedure()) {
      case NULLPROC:
        return {successReply(call.xid(), xdrNothing, static_cast<void*>(nullptr))};
      case create_link:
        return {answerWith(call, xdr_Create_LinkParms, xdr_Create_LinkResp,
                           [this](Create_LinkParms& in, Create_LinkResp& out) { createLink(in, out); })};
      case device_write: {
        bool close = false;
        std::string reply =
            answerWith(call, xdr_Device_WriteParms, xdr_Device_WriteResp,
                       [&](Device_WriteParms& in, Device_WriteResp& out) { close = !write(in, out); });
        return {std::move(reply), close};
      }
      case device_read: {
        std::string data;
        return {answerWith(call, xdr_Device_ReadParms, xdr_Device_ReadResp,
                           [&](Device_ReadParms& in, Device_ReadResp& out) { read(in, out, data); })};
      }
      case device_clear:
        return {answerWith(call, xdr_Device_GenericParms, xdr_Device_Error,
                           [this](Device_GenericParms& in, Device_Error& out) { clear(in, out); })};
      case device_readstb:
        return {answerWith(call, xdr_Device_GenericParms, xdr_Device_ReadStbResp,
                           [this](Device_GenericParms& in, Device_ReadStbResp& out) { readStb(in, out); })};
      case device_trigger:
        return {answerWith(call, xdr_Device_GenericParms, xdr_Device_Error,
                           [this](Device_GenericParms& in, Device_Error& out) { trigger(in, out); })};
      case device_lock:
        return {answerWith(call, xdr_Device_LockParms, xdr_Device_Error,
                           [this](Device_LockParms& in, Device_Error& out) { lock(in, out); })};
      case device_unlock:
        return {answerWith(call, xdr_Device_Link, xdr_Device_Error,
                           [this](Device_Link& in, Device_Error& out) { unlock(in, out); })};
      case device_enable_srq:
        return {answerWith(call, xdr_Device_EnableSrqParms, xdr_Device_Error,
                           [this](Device_EnableSrqParms& in, Device_Error& out) { enableSrq(in, out); })};
      case create_intr_chan:
        return {answerWith(call, xdr_Device_RemoteFunc, xdr_Device_Error,
                           [this](Device_RemoteFunc& in, Device_Error& out) { createIntrChan(in, out); })};
      case destroy_intr_chan: {
        Device_Error out{};
        destroyIntrChan(out);
        return {successReply(call.xid(), xdr_Device_Error, &out)};
      }
      case destroy_link:
        return {answerWith(call, xdr_Device_Link, xdr_Device_Error,
                           [this](Device_Link& in, Device_Error& out) { destroyLink(in, out); })};
      default:
        return {acceptedErrorReply(call.xid(), PROC_UNAVAIL)};
    }
  }

 private:
  template <class Args, class Result, class Handler>
  static std::string answerWith(RpcCall& call, bool_t (*decode)(XDR*, Args*), bool_t (*encode)(XDR*, Result*),
                                Handler&& handler) {
    Args args{};
    std::string reply;
    if (call.decodeArguments(decode, &args)) {
      Result result{};
      handler(args, result);
      reply = successReply(call.xid(), encode, &result);
    } else {
      reply = acceptedErrorReply(call.xid(), GARBAGE_ARGS);
    }
    RpcCall::releaseArguments(decode, &args);
    return reply;
  }

  std::shared_ptr<DeviceLink> ownLink(Device_Link id) const {
    bool owned = std::find(own_.begin(), own_.end(), id) != own_.end();
    return owned ? links_.find(id) : nullptr;
  }

  // The link for a call that uses the device, with the error that refuses it: an unknown link, or a
  // device that another link keeps locked past the call's lock timeout.
  std::shared_ptr<DeviceLink> usableLink(Device_Link id, Device_Flags flags, u_int lockTimeout,
                                         int32_t* error) {
    auto link = ownLink(id);
    if (!link) {
      *error = kInvalidLinkIdentifier;
      return nullptr;
    }
    if (!links_.mayUse(id, lockWait(flags, lockTimeout))) {
      *error = kDeviceLockedByAnotherLink;
      return nullptr;
    }
    *error = kNoError;
    return link;
  }

  static std::chrono::milliseconds lockWait(Device_Flags flags, u_int lockTimeout) {
    return std::chrono::milliseconds((flags & kFlagWaitLock) != 0 ? lockTimeout : 0);
  }

  void createLink(const Create_LinkParms& in, Create_LinkResp& out) {
    out.abortPort = abortPort_;
    out.maxRecvSize = VXI11_MAX_RECV_SIZE;
    if (in.device == nullptr || strcasecmp(in.device, Vxi11Server::kDeviceName) != 0) {
      out.error = kDeviceNotAccessible;
      return;
    }
    std::optional<int32_t> id = links_.create();
    if (!id) {
      out.error = kOutOfResources;
      return;
    }
    own_.push_back(*id);
    out.error = kNoError;
    out.lid = *id;
  }

  // False when a fault closes the connection.
  bool write(const Device_WriteParms& in, Device_WriteResp& out) {
    auto link = usableLink(in.lid, in.flags, in.lock_timeout, &out.error);
    if (!link) return true;
    out.error = kNoError;
    out.size = in.data.data_len;
    return link->write(in.data.data_val, in.data.data_len, (in.flags & kFlagEnd) != 0);
  }

  void read(const Device_ReadParms& in, Device_ReadResp& out, std::string& data) {
    auto link = usableLink(in.lid, in.flags, in.lock_timeout, &out.error);
    if (!link) return;
    ReadRequest request;
    request.size = in.requestSize;
    request.timeout = std::chrono::milliseconds(in.io_timeout);
    if ((in.flags & kFlagTermCharSet) != 0) request.termChar = in.termChar;
    ReadResult result = link->read(request);
    data = std::move(result.data);
    out.error = result.error;
    out.reason = result.reason;
    out.data.data_len = static_cast<u_int>(data.size());
    out.data.data_val = data.data();
  }

  void clear(const Device_GenericParms& in, Device_Error& out) {
    auto link = usableLink(in.lid, in.flags, in.lock_timeout, &out.error);
    if (link) link->clear();
  }

  void readStb(const Device_GenericParms& in, Device_ReadStbResp& out) {
    auto link = usableLink(in.lid, in.flags, in.lock_timeout, &out.error);
    if (link) out.stb = link->statusByte();
  }

  // The simulated instrument measures on its own; a trigger has nothing to start.
  void trigger(const Device_GenericParms& in, Device_Error& out) {
    usableLink(in.lid, in.flags, in.lock_timeout, &out.error);
  }

  void lock(const Device_LockParms& in, Device_Error& out) {
    out.error =
        ownLink(in.lid) ? links_.lock(in.lid, lockWait(in.flags, in.lock_timeout)) : kInvalidLinkIdentifier;
  }

  void unlock(Device_Link id, Device_Error& out) {
    out.error = ownLink(id) ? links_.unlock(id) : kInvalidLinkIdentifier;
  }

  void enableSrq(const Device_EnableSrqParms& in, Device_Error& out) {
    auto link = ownLink(in.lid);
    out.error = link ? kNoError : kInvalidLinkIdentifier;
    if (!link) return;
    std::string handle(in.handle.handle_val, in.handle.handle_len);
    link->setServiceRequests(in.enable ? interrupts_ : nullptr, std::move(handle));
  }

  // The interrupt channel to the client's server: TCP only, one per connection.
  void createIntrChan(const Device_RemoteFunc& in, Device_Error& out) {
    if (interrupts_) {
      out.error = kChannelAlreadyEstablished;
    } else if (in.progNum != DEVICE_INTR || in.progVers != DEVICE_INTR_VERSION ||
               in.progFamily != DEVICE_TCP) {
      out.error = kOperationNotSupported;
    } else {
      interrupts_ = InterruptChannel::connect(in.hostAddr, in.hostPort);
      out.error = interrupts_ ? kNoError : kChannelNotEstablished;
    }
  }

  void destroyIntrChan(Device_Error& out) {
    out.error = interrupts_ ? kNoError : kChannelNotEstablished;
    for (int32_t id : own_) {
      if (auto link = links_.find(id)) link->setServiceRequests(nullptr, {});
    }
    interrupts_.reset();
  }

  void destroyLink(Device_Link id, Device_Error& out) {
    auto it = std::find(own_.begin(), own_.end(), id);
    out.error = it != own_.end() && links_.destroy(id) ? kNoError : kInvalidLinkIdentifier;
    if (it != own_.end()) own_.erase(it);
  }

  LinkTable& links_;
  uint16_t abortPort_;
  std::vector<int32_t> own_;
  std::shared_ptr<InterruptChannel> interrupts_;
};

// A call on the abort channel: device_abort ends a read that waits on the link.
std::string answerAbort(RpcCall& call, LinkTable& links) {
  if (call.rpcVersion() != 2) return rpcMismatchReply(call.xid());
  if (call.program() != DEVICE_ASYNC) return acceptedErrorReply(call.xid(), PROG_UNAVAIL);
  if (call.version() != DEVICE_ASYNC_VERSION)
    return programMismatchReply(call.xid(), DEVICE_ASYNC_VERSION, DEVICE_ASYNC_VERSION);
  if (call.procedure() == NULLPROC) return successReply(call.xid(), xdrNothing, static_cast<void*>(nullptr));
  if (call.procedure() != device_abort) return acceptedErrorReply(call.xid(), PROC_UNAVAIL);
  Device_Link id = 0;
  if (!call.decodeArguments(xdr_Device_Link, &id)) return acceptedErrorReply(call.xid(), GARBAGE_ARGS);
  auto link = links.find(id);
  if (link) link->abort();
  Device_Error out{link ? kNoError : kInvalidLinkIdentifier};
  return successReply(call.xid(), xdr_Device_Error, &out);
}

}  // namespace

bool Vxi11Server::registerWithPortmapper(std::string* error) {
  if (!portmapperAnswers(kPortmapperTimeoutMs)) {
    *error = "no portmapper (rpcbind) answers on 127.0.0.1";
    return false;
  }
  if (!registerProgram(DEVICE_CORE, DEVICE_CORE_VERSION, port(), error)) return false;
  registered_ = true;
  return true;
}

void Vxi11Server::stop() {
  if (registered_.exchange(false)) unregisterProgram(DEVICE_CORE, DEVICE_CORE_VERSION, port());
  links_.close();
  abortListener_.stop();
  listener_.stop();
}

bool Vxi11Server::start(uint16_t port, std::string* error) {
  return listener_.start(port, error) && abortListener_.start(0, error);
}

void Vxi11Server::serveAbort(int fd) {
  std::string record;
  while (readRecord(fd, kSmallRecordSize, &record) == RecordStatus::kRecord) {
    RpcCall call(record);
    if (!call.isCall() || !writeRecord(fd, answerAbort(call, links_))) break;
  }
}

void Vxi11Server::serve(int fd) {
  CallHandler handler(links_, abortListener_.port());
  std::string record;
  while (readRecord(fd, kMaxRecordSize, &record) == RecordStatus::kRecord) {
    Answer answer = handler.answer(record);
    if (!answer.reply.empty() && !writeRecord(fd, answer.reply)) break;
    if (answer.close || answer.reply.empty()) break;
  }
}

}  // namespace tevra::sim::vxi11
