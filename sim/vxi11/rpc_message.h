// ONC RPC messages (RFC 5531) of the core channel: a call decoded from a record, and the replies encoded
// into records, with the XDR routines of libtirpc.
#pragma once

#include <rpc/rpc.h>

#include <cstdint>
#include <string>

namespace tevra::sim::vxi11 {

class RpcCall {
 public:
  // Decodes the call header; the record must outlive the call.
  explicit RpcCall(std::string& record);
  ~RpcCall() { xdr_destroy(&xdrs_); }
  RpcCall(const RpcCall&) = delete;
  RpcCall& operator=(const RpcCall&) = delete;

  // A call message could be read from the record.
  bool isCall() const { return isCall_; }
  uint32_t xid() const { return message_.rm_xid; }
  uint32_t rpcVersion() const { return message_.rm_call.cb_rpcvers; }
  uint32_t program() const { return message_.rm_call.cb_prog; }
  uint32_t version() const { return message_.rm_call.cb_vers; }
  uint32_t procedure() const { return message_.rm_call.cb_proc; }

  // Decodes the arguments that follow the header; false when they are malformed. Whatever the routine
  // allocated is released with releaseArguments, in either case.
  template <class T>
  bool decodeArguments(bool_t (*routine)(XDR*, T*), T* arguments) {
    return routine(&xdrs_, arguments) != 0;
  }
  template <class T>
  static void releaseArguments(bool_t (*routine)(XDR*, T*), T* arguments) {
    xdr_free(reinterpret_cast<xdrproc_t>(routine), arguments);
  }

 private:
  XDR xdrs_;
  rpc_msg message_{};
  char credentials_[2 * MAX_AUTH_BYTES] = {};
  bool isCall_ = false;
};

// The XDR routine of an empty argument or result.
inline bool_t xdrNothing(XDR*, void*) {
  return TRUE;
}

// SUCCESS with the result that routine encodes.
std::string successReply(uint32_t xid, xdrproc_t routine, void* result);
template <class T>
std::string successReply(uint32_t xid, bool_t (*routine)(XDR*, T*), T* result) {
  return successReply(xid, reinterpret_cast<xdrproc_t>(routine), result);
}
// An accepted call that failed: PROG_UNAVAIL, PROC_UNAVAIL, GARBAGE_ARGS, SYSTEM_ERR.
std::string acceptedErrorReply(uint32_t xid, accept_stat status);
// The program exists, not in this version; low and high are the versions it has.
std::string programMismatchReply(uint32_t xid, uint32_t low, uint32_t high);
// A call of another RPC version than 2.
std::string rpcMismatchReply(uint32_t xid);

// A call with empty credentials and the arguments that routine encodes; empty when they do not encode.
std::string callMessage(uint32_t xid, uint32_t program, uint32_t version, uint32_t procedure,
                        xdrproc_t routine, void* arguments);

}  // namespace tevra::sim::vxi11
