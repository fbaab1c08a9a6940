// VXI-11 instrument sessions (TCPIP::host[::device]::INSTR): the core channel over ONC RPC, found through
// the host's portmapper. Each call carries the session's timeout as its I/O timeout and waits for the
// device's answer a little longer; a call that the device does not answer in time is VI_ERROR_TMO, and its
// late reply is dropped by the next call. Service requests come over the interrupt channel, set up when a
// session first enables them; device_abort goes over the abort channel when the device offers one.
#include <rpc/rpc.h>

#include <rpc/pmap_prot.h>

#include <arpa/inet.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>
#include <mutex>

#include "platform/visa/instrument_link.h"
#include "platform/visa/linux/onc_rpc.h"
#include "platform/visa/linux/vxi11_interrupt_server.h"
#include "platform/visa/linux/vxi11_read_reply.h"
#include "vxi11/vxi11_core.h"

namespace tevra::platform::visa {
namespace {

constexpr uint16_t kPortmapperPort = 111;
// How much longer than its I/O timeout a call waits for the device's answer.
constexpr std::chrono::milliseconds kAnswerMargin{2000};
// How long closing a link waits for destroy_link.
constexpr ViUInt32 kDestroyTimeoutMs = 1000;
// The largest reply record that is not a device_read: headers and a few words.
constexpr size_t kSmallReply = 1024;

constexpr int32_t kFlagWaitLock = 0x01;
constexpr int32_t kFlagEnd = 0x08;

constexpr int32_t kReasonRequestCount = 0x01;
constexpr int32_t kReasonTermChar = 0x02;
constexpr int32_t kReasonEnd = 0x04;

// The VISA status of a device error code.
ViStatus statusOfDeviceError(Device_ErrorCode error) {
  switch (error) {
    case 0:
      return VI_SUCCESS;
    case 8:  // operation not supported
      return VI_ERROR_NSUP_OPER;
    case 11:  // device locked by another link
      return VI_ERROR_RSRC_LOCKED;
    case 12:  // no lock held by this link
      return VI_ERROR_SESN_NLOCKED;
    case 15:  // I/O timeout
      return VI_ERROR_TMO;
    case 23:  // abort
      return VI_ERROR_ABORT;
    default:
      return VI_ERROR_IO;
  }
}

// The VISA status of create_link's error code.
ViStatus statusOfCreateLinkError(Device_ErrorCode error) {
  switch (error) {
    case 0:
      return VI_SUCCESS;
    case 9:  // out of resources
      return VI_ERROR_ALLOC;
    case 11:  // locked by another link
      return VI_ERROR_RSRC_BUSY;
    default:  // device not accessible, invalid address, ...
      return VI_ERROR_RSRC_NFOUND;
  }
}

class Vxi11Link final : public InstrumentLink {
 public:
  Vxi11Link(std::unique_ptr<RpcClient> core, const Create_LinkResp& link, std::string host)
      : core_(std::move(core)),
        lid_(link.lid),
        maxRecvSize_(std::max<u_int>(link.maxRecvSize, 1)),
        host_(std::move(host)),
        abortPort_(link.abortPort) {}
  ~Vxi11Link() override {
    if (!lost_) {
      Device_Error result{};
      if (interrupts_)
        core_->call(destroy_intr_chan, xdrRoutine(xdrNothing), nullptr, xdrRoutine(xdr_Device_Error), &result,
                    kSmallReply, Deadline::afterMilliseconds(kDestroyTimeoutMs));
      core_->call(destroy_link, xdrRoutine(xdr_Device_Link), &lid_, xdrRoutine(xdr_Device_Error), &result,
                  kSmallReply, Deadline::afterMilliseconds(kDestroyTimeoutMs));
    }
  }
  Vxi11Link(const Vxi11Link&) = delete;
  Vxi11Link& operator=(const Vxi11Link&) = delete;

  // device_write calls of at most the device's maxRecvSize, END with the last when the message ends.
  ViStatus write(const ViByte* data, size_t size, bool end, const Deadline& deadline, size_t* sent) override {
    *sent = 0;
    if (size == 0 && !end) return VI_SUCCESS;
    do {
      u_int chunk = static_cast<u_int>(std::min<size_t>(size - *sent, maxRecvSize_));
      Device_WriteParms in{};
      in.lid = lid_;
      in.io_timeout = deadline.remainingMilliseconds();
      in.flags = end && *sent + chunk == size ? kFlagEnd : 0;
      in.data.data_len = chunk;
      in.data.data_val = const_cast<char*>(reinterpret_cast<const char*>(data + *sent));
      Device_WriteResp out{};
      ViStatus status =
          call(device_write, xdr_Device_WriteParms, &in, xdr_Device_WriteResp, &out, kSmallReply, deadline);
      if (status < 0) return status;
      *sent += std::min<size_t>(out.size, chunk);
      if (out.error != 0) return statusOfDeviceError(out.error);
      if (out.size == 0 && chunk > 0) return VI_ERROR_IO;
    } while (*sent < size);
    return VI_SUCCESS;
  }

  // device_read calls until the reply ends, the count is filled or the deadline passes. The device is not
  // asked to stop at the termination character, so that a definite-length block with that byte inside
  // arrives whole, as over a socket; a reply that ends with it is VI_SUCCESS_TERM_CHAR.
  ViStatus read(ViByte* data, size_t size, const ReadTermination& termination, const Deadline& deadline,
                size_t* received) override {
    *received = 0;
    if (size == 0) return VI_SUCCESS_MAX_CNT;
    for (;;) {
      Device_ReadParms in{};
      in.lid = lid_;
      in.requestSize = static_cast<u_int>(std::min<size_t>(size - *received, UINT_MAX));
      in.io_timeout = deadline.remainingMilliseconds();
      Vxi11ReadReply out;
      out.data = reinterpret_cast<char*>(data + *received);
      out.capacity = in.requestSize;
      ViStatus status = call(device_read, xdr_Device_ReadParms, &in, xdrVxi11ReadReply, &out,
                             kSmallReply + in.requestSize, deadline);
      if (status < 0) return status;
      *received += out.size;
      if (out.error != 0) return statusOfDeviceError(out.error);
      // A device that answers with nothing and no reason would keep the loop going without end.
      if (out.size == 0 && out.reason == 0) return VI_ERROR_IO;
      ViStatus end = endOfRead(data, *received, out.reason, termination);
      if (end != VI_SUCCESS || (out.reason & kReasonEnd) != 0) return end;
      if (*received == size) return VI_SUCCESS_MAX_CNT;
    }
  }

  ViStatus clear(const ReadTermination&, const Deadline& deadline) override {
    Device_Error out{};
    return generic(device_clear, xdr_Device_Error, &out, deadline, &out.error);
  }

  ViStatus readStatusByte(const ReadTermination&, const Deadline& deadline, ViUInt16* statusByte) override {
    Device_ReadStbResp out{};
    ViStatus status = generic(device_readstb, xdr_Device_ReadStbResp, &out, deadline, &out.error);
    if (status >= 0) *statusByte = out.stb;
    return status;
  }

  ViStatus assertTrigger(const Deadline& deadline) override {
    Device_Error out{};
    return generic(device_trigger, xdr_Device_Error, &out, deadline, &out.error);
  }

  ViStatus lock(ViUInt32 timeoutMs) override {
    Device_LockParms in{lid_, timeoutMs > 0 ? kFlagWaitLock : 0, timeoutMs};
    Device_Error out{};
    ViStatus status = call(device_lock, xdr_Device_LockParms, &in, xdr_Device_Error, &out, kSmallReply,
                           Deadline::afterMilliseconds(timeoutMs));
    // A lock that another link keeps past the timeout: the wait timed out.
    if (status >= 0 && out.error == 11) return VI_ERROR_TMO;
    return status < 0 ? status : statusOfDeviceError(out.error);
  }

  ViStatus unlock() override {
    Device_Error out{};
    ViStatus status = call(device_unlock, xdr_Device_Link, &lid_, xdr_Device_Error, &out, kSmallReply,
                           Deadline::afterMilliseconds(kDestroyTimeoutMs));
    return status < 0 ? status : statusOfDeviceError(out.error);
  }

  // The interrupt channel: a server of our own on the local address by which the device is reached.
  ViStatus enableServiceRequests(EventQueue* queue) override {
    if (!interrupts_) {
      uint32_t address = 0;
      if (!core_->stream().localIpv4(&address)) return VI_ERROR_NSUP_OPER;
      auto server = InterruptServer::start(address, queue);
      if (!server) return VI_ERROR_SYSTEM_ERROR;
      Device_RemoteFunc in{ntohl(address), server->port(), DEVICE_INTR, DEVICE_INTR_VERSION, DEVICE_TCP};
      Device_Error out{};
      ViStatus status = call(create_intr_chan, xdr_Device_RemoteFunc, &in, xdr_Device_Error, &out,
                             kSmallReply, Deadline::afterMilliseconds(kConnectTimeoutMs));
      if (status >= 0) status = statusOfDeviceError(out.error);
      if (status < 0) return status;
      interrupts_ = std::move(server);
    }
    return enableSrq(true);
  }

  ViStatus disableServiceRequests() override { return interrupts_ ? enableSrq(false) : VI_SUCCESS; }

  // device_abort on the abort channel, connected at its first use.
  ViStatus abort() override {
    if (abortPort_ == 0 || lost_) return VI_ERROR_NSUP_OPER;
    std::lock_guard<std::mutex> lock(abortMutex_);
    Deadline deadline = Deadline::afterMilliseconds(kConnectTimeoutMs);
    if (!abortChannel_) {
      ViStatus status = VI_ERROR_IO;
      auto stream = connectTcp(host_, abortPort_, deadline, &status);
      if (!stream) return VI_ERROR_IO;
      abortChannel_ = std::make_unique<RpcClient>(std::move(stream), DEVICE_ASYNC, DEVICE_ASYNC_VERSION);
    }
    Device_Link lid = lid_;
    Device_Error out{};
    ViStatus status = abortChannel_->call(device_abort, xdrRoutine(xdr_Device_Link), &lid,
                                          xdrRoutine(xdr_Device_Error), &out, kSmallReply, deadline);
    if (status < 0) abortChannel_.reset();
    return status < 0 ? status : statusOfDeviceError(out.error);
  }

  void shutdown() override {
    lost_ = true;
    core_->shutdown();
  }

 private:
  template <class In, class Out>
  ViStatus call(u_long procedure, bool_t (*encode)(XDR*, In*), In* in, bool_t (*decode)(XDR*, Out*), Out* out,
                size_t maxReply, const Deadline& deadline) {
    if (lost_) return VI_ERROR_CONN_LOST;
    ViStatus status = core_->call(static_cast<uint32_t>(procedure), xdrRoutine(encode), in,
                                  xdrRoutine(decode), out, maxReply, deadline.later(kAnswerMargin));
    if (status == VI_ERROR_CONN_LOST) lost_ = true;
    return status;
  }

  // A call with Device_GenericParms whose result begins with the device error code.
  template <class Out>
  ViStatus generic(u_long procedure, bool_t (*decode)(XDR*, Out*), Out* out, const Deadline& deadline,
                   const Device_ErrorCode* error) {
    Device_GenericParms in{lid_, 0, 0, deadline.remainingMilliseconds()};
    ViStatus status = call(procedure, xdr_Device_GenericParms, &in, decode, out, kSmallReply, deadline);
    return status < 0 ? status : statusOfDeviceError(*error);
  }

  ViStatus enableSrq(bool enable) {
    Device_EnableSrqParms in{};
    in.lid = lid_;
    in.enable = enable ? TRUE : FALSE;
    char handle[sizeof lid_];
    std::memcpy(handle, &lid_, sizeof handle);
    in.handle.handle_len = sizeof handle;
    in.handle.handle_val = handle;
    Device_Error out{};
    ViStatus status = call(device_enable_srq, xdr_Device_EnableSrqParms, &in, xdr_Device_Error, &out,
                           kSmallReply, Deadline::afterMilliseconds(kConnectTimeoutMs));
    return status < 0 ? status : statusOfDeviceError(out.error);
  }

  // Why a read ended, from the device's reason: the term character before END before the count.
  static ViStatus endOfRead(const ViByte* data, size_t count, int reason,
                            const ReadTermination& termination) {
    bool endsWithTermChar =
        termination.enabled && count > 0 && data[count - 1] == static_cast<ViByte>(termination.character);
    if ((reason & kReasonTermChar) != 0 || ((reason & kReasonEnd) != 0 && endsWithTermChar))
      return VI_SUCCESS_TERM_CHAR;
    if ((reason & kReasonEnd) != 0) return VI_SUCCESS;
    if ((reason & kReasonRequestCount) != 0) return VI_SUCCESS_MAX_CNT;
    return VI_SUCCESS;
  }

  std::unique_ptr<RpcClient> core_;
  Device_Link lid_;
  u_int maxRecvSize_;
  std::string host_;
  uint16_t abortPort_;
  std::mutex abortMutex_;
  std::unique_ptr<RpcClient> abortChannel_;
  std::unique_ptr<InterruptServer> interrupts_;
  std::atomic<bool> lost_{false};
};

// The TCP port of the core channel that the host's portmapper names; 0 when it names none.
ViStatus findCorePort(const std::string& host, const Deadline& deadline, uint16_t* port) {
  ViStatus status = VI_ERROR_RSRC_NFOUND;
  auto stream = connectTcp(host, kPortmapperPort, deadline, &status);
  if (!stream) return VI_ERROR_RSRC_NFOUND;
  RpcClient portmapper(std::move(stream), PMAPPROG, PMAPVERS);
  pmap query{DEVICE_CORE, DEVICE_CORE_VERSION, IPPROTO_TCP, 0};
  u_int answer = 0;
  status = portmapper.call(PMAPPROC_GETPORT, xdrRoutine(xdr_pmap), &query, xdrRoutine(xdr_u_int), &answer,
                           kSmallReply, deadline);
  if (status < 0 || answer == 0 || answer > UINT16_MAX) return VI_ERROR_RSRC_NFOUND;
  *port = static_cast<uint16_t>(answer);
  return VI_SUCCESS;
}

}  // namespace

bool_t xdrVxi11ReadReply(XDR* xdrs, Vxi11ReadReply* reply) {
  return xdr_Device_ErrorCode(xdrs, &reply->error) && xdr_int(xdrs, &reply->reason) &&
         xdr_bytes(xdrs, &reply->data, &reply->size, reply->capacity);
}

std::unique_ptr<InstrumentLink> openVxi11Link(const ResourceName& resource, ViStatus* status) {
  Deadline deadline = Deadline::afterMilliseconds(kConnectTimeoutMs);
  uint16_t port = 0;
  *status = findCorePort(resource.host, deadline, &port);
  if (*status < 0) return nullptr;
  auto stream = connectTcp(resource.host, port, deadline, status);
  if (!stream) {
    *status = VI_ERROR_RSRC_NFOUND;
    return nullptr;
  }
  auto core = std::make_unique<RpcClient>(std::move(stream), DEVICE_CORE, DEVICE_CORE_VERSION);
  Create_LinkParms in{};
  in.clientId = 0;
  in.lockDevice = FALSE;
  in.lock_timeout = 0;
  in.device = const_cast<char*>(resource.deviceName.c_str());
  Create_LinkResp out{};
  ViStatus called = core->call(create_link, xdrRoutine(xdr_Create_LinkParms), &in,
                               xdrRoutine(xdr_Create_LinkResp), &out, kSmallReply, deadline);
  *status = called < 0 ? VI_ERROR_RSRC_NFOUND : statusOfCreateLinkError(out.error);
  if (*status < 0) return nullptr;
  return std::make_unique<Vxi11Link>(std::move(core), out, resource.host);
}

}  // namespace tevra::platform::visa
