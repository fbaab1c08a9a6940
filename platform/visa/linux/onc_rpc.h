// ONC RPC calls (RFC 5531) over a byte stream with record marking, encoded and decoded with libtirpc's XDR
// routines. Each call waits for its own reply: a reply to an earlier call that timed out is dropped.
#pragma once

#include <rpc/rpc.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/visa/instrument_link.h"

namespace tevra::platform::visa {

enum class RpcReplyStatus {
  kSuccess,    // the result was decoded
  kOtherXid,   // a reply to another call
  kRefused,    // rejected, or accepted with an error (no such program, procedure or version)
  kMalformed,  // not a reply, or a result that does not decode
};

// Decodes one reply record to the call xid; a successful result is decoded by routine into result, whose
// allocations the caller frees with xdr_free.
RpcReplyStatus decodeRpcReply(const char* record, size_t size, uint32_t xid, xdrproc_t routine, void* result);

class RpcClient {
 public:
  RpcClient(std::unique_ptr<ByteStream> stream, uint32_t program, uint32_t version);

  // Calls procedure and waits for its reply until the deadline; a reply longer than maxReply is refused
  // and ends the connection. VI_SUCCESS, VI_ERROR_TMO, VI_ERROR_CONN_LOST, VI_ERROR_IO (refused or
  // malformed reply).
  ViStatus call(uint32_t procedure, xdrproc_t encode, const void* arguments, xdrproc_t decode, void* result,
                size_t maxReply, const Deadline& deadline);
  void shutdown() { stream_->shutdown(); }
  const ByteStream& stream() const { return *stream_; }

 private:
  ViStatus receiveRecord(size_t maxReply, const Deadline& deadline);
  ViStatus receiveExactly(void* data, size_t size, const Deadline& deadline, size_t* taken);

  std::unique_ptr<ByteStream> stream_;
  uint32_t program_;
  uint32_t version_;
  uint32_t nextXid_;
  std::vector<char> record_;
  bool broken_ = false;
};

// The XDR routine of an empty argument or result.
inline bool_t xdrNothing(XDR*, void*) {
  return TRUE;
}

template <class T>
xdrproc_t xdrRoutine(bool_t (*routine)(XDR*, T*)) {
  return reinterpret_cast<xdrproc_t>(routine);
}

}  // namespace tevra::platform::visa
