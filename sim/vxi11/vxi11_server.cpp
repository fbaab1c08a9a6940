#include "sim/vxi11/vxi11_server.h"

#include <strings.h>

#include <algorithm>
#include <vector>

#include "sim/net/tcp_server.h"
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
  explicit CallHandler(LinkTable& links) : links_(links) {}
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
    out.abortPort = 0;
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

  void destroyLink(Device_Link id, Device_Error& out) {
    auto it = std::find(own_.begin(), own_.end(), id);
    out.error = it != own_.end() && links_.destroy(id) ? kNoError : kInvalidLinkIdentifier;
    if (it != own_.end()) own_.erase(it);
  }

  LinkTable& links_;
  std::vector<int32_t> own_;
};

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
  listener_.stop();
}

void Vxi11Server::serve(int fd) {
  CallHandler handler(links_);
  std::string record;
  while (readRecord(fd, kMaxRecordSize, &record) == RecordStatus::kRecord) {
    Answer answer = handler.answer(record);
    if (!answer.reply.empty() && !writeRecord(fd, answer.reply)) break;
    if (answer.close || answer.reply.empty()) break;
  }
}

}  // namespace tevra::sim::vxi11
