// ONC RPC calls (RFC 5531) over a byte stream with record marking, encoded and decoded with libtirpc's XDR
// routines. Each call waits for its own reply: a reply to an earlier call that timed out is dropped.
#pragma once

#include <rpc/rpc.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/visa/instrument_link.h"

namespace tevra::platform::visa {

// Record marking (RFC 5531 section 11): a 4-byte big-endian mark before each fragment, its top bit set on
// the last fragment of a record.
inline constexpr uint32_t kLastFragment = 0x80000000U;
// Writes the mark of a one-fragment record of `length` bytes at `mark` (4 bytes).
void putRecordMark(char* mark, size_t length);

// XDR over a memory buffer, destroyed with its scope.
class XdrMemory {
 public:
  XdrMemory(char* data, size_t size, xdr_op op) { xdrmem_create(&xdrs_, data, static_cast<u_int>(size), op); }
  ~XdrMemory() { xdr_destroy(&xdrs_); }
  XdrMemory(const XdrMemory&) = delete;
  XdrMemory& operator=(const XdrMemory&) = delete;
  XDR* get() { return &xdrs_; }
  size_t position() { return xdr_getpos(&xdrs_); }

 private:
  XDR xdrs_;
};

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
