#include "platform/visa/linux/onc_rpc.h"

#include <arpa/inet.h>

#include <chrono>
#include <cstring>

namespace tevra::platform::visa {
namespace {

constexpr uint32_t kRpcVersion = 2;
// The call header with empty credentials and verifier, and the record mark.
constexpr size_t kCallHeaderSize = 4 + 10 * 4;

uint32_t firstXid() {
  auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  return static_cast<uint32_t>(now) ^ static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&now));
}

}  // namespace

void putRecordMark(char* mark, size_t length) {
  const uint32_t value = htonl(kLastFragment | static_cast<uint32_t>(length));
  std::memcpy(mark, &value, sizeof value);
}

RpcReplyStatus decodeRpcReply(const char* record, size_t size, uint32_t xid, xdrproc_t routine,
                              void* result) {
  uint32_t replyXid = 0;
  if (size < sizeof replyXid || size > UINT32_MAX) return RpcReplyStatus::kMalformed;
  std::memcpy(&replyXid, record, sizeof replyXid);
  if (ntohl(replyXid) != xid) return RpcReplyStatus::kOtherXid;
  // A verifier is read into this buffer, so that a hostile one allocates nothing.
  char verifier[MAX_AUTH_BYTES];
  rpc_msg reply{};
  reply.acpted_rply.ar_verf.oa_base = verifier;
  reply.acpted_rply.ar_results.where = static_cast<caddr_t>(result);
  reply.acpted_rply.ar_results.proc = routine;
  XdrMemory xdrs(const_cast<char*>(record), size, XDR_DECODE);
  if (!xdr_replymsg(xdrs.get(), &reply) || reply.rm_direction != REPLY) return RpcReplyStatus::kMalformed;
  if (reply.rm_reply.rp_stat != MSG_ACCEPTED || reply.acpted_rply.ar_stat != SUCCESS)
    return RpcReplyStatus::kRefused;
  return RpcReplyStatus::kSuccess;
}

RpcClient::RpcClient(std::unique_ptr<ByteStream> stream, uint32_t program, uint32_t version)
    : stream_(std::move(stream)), program_(program), version_(version), nextXid_(firstXid()) {}

ViStatus RpcClient::call(uint32_t procedure, xdrproc_t encode, const void* arguments, xdrproc_t decode,
                         void* result, size_t maxReply, const Deadline& deadline) {
  if (broken_) return VI_ERROR_CONN_LOST;
  uint32_t xid = nextXid_++;
  std::vector<char> request(kCallHeaderSize + xdr_sizeof(encode, const_cast<void*>(arguments)));
  rpc_msg header{};
  header.rm_xid = xid;
  header.rm_direction = CALL;
  header.rm_call.cb_rpcvers = kRpcVersion;
  header.rm_call.cb_prog = program_;
  header.rm_call.cb_vers = version_;
  header.rm_call.cb_proc = procedure;
  header.rm_call.cb_cred = _null_auth;
  header.rm_call.cb_verf = _null_auth;
  XdrMemory xdrs(request.data() + 4, request.size() - 4, XDR_ENCODE);
  if (!xdr_callmsg(xdrs.get(), &header) || !encode(xdrs.get(), const_cast<void*>(arguments)))
    return VI_ERROR_IO;
  size_t length = xdrs.position();
  putRecordMark(request.data(), length);
  size_t sent = 0;
  ViStatus status = stream_->sendAll(request.data(), length + 4, deadline, &sent);
  if (status < 0) {
    // A call sent in part leaves the stream without a record boundary.
    if (sent > 0) broken_ = true;
    return sent > 0 && status == VI_ERROR_TMO ? VI_ERROR_CONN_LOST : status;
  }
  for (;;) {
    status = receiveRecord(maxReply, deadline);
    if (status < 0) return status;
    switch (decodeRpcReply(record_.data(), record_.size(), xid, decode, result)) {
      case RpcReplyStatus::kSuccess:
        return VI_SUCCESS;
      case RpcReplyStatus::kOtherXid:
        continue;
      case RpcReplyStatus::kRefused:
      case RpcReplyStatus::kMalformed:
        return VI_ERROR_IO;
    }
  }
}

ViStatus RpcClient::receiveExactly(void* data, size_t size, const Deadline& deadline, size_t* taken) {
  char* bytes = static_cast<char*>(data);
  *taken = 0;
  while (*taken < size) {
    size_t received = 0;
    ViStatus status = stream_->receiveSome(bytes + *taken, size - *taken, deadline, &received);
    *taken += received;
    if (status < 0) return status;
  }
  return VI_SUCCESS;
}

// A record whose fragments are taken in part at a timeout leaves the stream without a boundary, so the
// connection ends there; a timeout before its first byte leaves the reply for the next call to drop.
ViStatus RpcClient::receiveRecord(size_t maxReply, const Deadline& deadline) {
  record_.clear();
  bool last = false;
  bool started = false;
  while (!last) {
    uint32_t mark = 0;
    size_t taken = 0;
    ViStatus status = receiveExactly(&mark, sizeof mark, deadline, &taken);
    if (status == VI_ERROR_TMO && !started && taken == 0) return status;
    started = true;
    if (status < 0) {
      broken_ = true;
      return VI_ERROR_CONN_LOST;
    }
    mark = ntohl(mark);
    last = (mark & kLastFragment) != 0;
    size_t length = mark & ~kLastFragment;
    if (length > maxReply - record_.size()) {
      broken_ = true;
      stream_->shutdown();
      return VI_ERROR_IO;
    }
    size_t at = record_.size();
    record_.resize(at + length);
    status = receiveExactly(record_.data() + at, length, deadline, &taken);
    if (status < 0) {
      broken_ = true;
      return status == VI_ERROR_TMO ? VI_ERROR_CONN_LOST : status;
    }
  }
  return VI_SUCCESS;
}

}  // namespace tevra::platform::visa
