#include "sim/vxi11/rpc_message.h"

namespace tevra::sim::vxi11 {
namespace {

constexpr uint32_t kRpcVersion = 2;

std::string encode(rpc_msg& reply) {
  std::string record(xdr_sizeof(reinterpret_cast<xdrproc_t>(xdr_replymsg), &reply), '\0');
  XDR xdrs;
  xdrmem_create(&xdrs, record.data(), static_cast<u_int>(record.size()), XDR_ENCODE);
  bool encoded = xdr_replymsg(&xdrs, &reply) != 0;
  record.resize(encoded ? xdr_getpos(&xdrs) : 0);
  xdr_destroy(&xdrs);
  return record;
}

rpc_msg acceptedReply(uint32_t xid, accept_stat status) {
  rpc_msg reply{};
  reply.rm_xid = xid;
  reply.rm_direction = REPLY;
  reply.rm_reply.rp_stat = MSG_ACCEPTED;
  reply.acpted_rply.ar_verf = _null_auth;
  reply.acpted_rply.ar_stat = status;
  return reply;
}

}  // namespace

RpcCall::RpcCall(std::string& record) {
  xdrmem_create(&xdrs_, record.data(), static_cast<u_int>(record.size()), XDR_DECODE);
  message_.rm_call.cb_cred.oa_base = credentials_;
  message_.rm_call.cb_verf.oa_base = credentials_ + MAX_AUTH_BYTES;
  isCall_ = xdr_callmsg(&xdrs_, &message_) != 0 && message_.rm_direction == CALL;
}

std::string successReply(uint32_t xid, xdrproc_t routine, void* result) {
  rpc_msg reply = acceptedReply(xid, SUCCESS);
  reply.acpted_rply.ar_results.where = static_cast<caddr_t>(result);
  reply.acpted_rply.ar_results.proc = routine;
  return encode(reply);
}

std::string acceptedErrorReply(uint32_t xid, accept_stat status) {
  rpc_msg reply = acceptedReply(xid, status);
  return encode(reply);
}

std::string programMismatchReply(uint32_t xid, uint32_t low, uint32_t high) {
  rpc_msg reply = acceptedReply(xid, PROG_MISMATCH);
  reply.acpted_rply.ar_vers.low = low;
  reply.acpted_rply.ar_vers.high = high;
  return encode(reply);
}

std::string rpcMismatchReply(uint32_t xid) {
  rpc_msg reply{};
  reply.rm_xid = xid;
  reply.rm_direction = REPLY;
  reply.rm_reply.rp_stat = MSG_DENIED;
  reply.rjcted_rply.rj_stat = RPC_MISMATCH;
  reply.rjcted_rply.rj_vers.low = kRpcVersion;
  reply.rjcted_rply.rj_vers.high = kRpcVersion;
  return encode(reply);
}

std::string callMessage(uint32_t xid, uint32_t program, uint32_t version, uint32_t procedure,
                        xdrproc_t routine, void* arguments) {
  rpc_msg call{};
  call.rm_xid = xid;
  call.rm_direction = CALL;
  call.rm_call.cb_rpcvers = kRpcVersion;
  call.rm_call.cb_prog = program;
  call.rm_call.cb_vers = version;
  call.rm_call.cb_proc = procedure;
  call.rm_call.cb_cred = _null_auth;
  call.rm_call.cb_verf = _null_auth;
  std::string record(
      xdr_sizeof(reinterpret_cast<xdrproc_t>(xdr_callmsg), &call) + xdr_sizeof(routine, arguments), '\0');
  XDR xdrs;
  xdrmem_create(&xdrs, record.data(), static_cast<u_int>(record.size()), XDR_ENCODE);
  bool encoded = xdr_callmsg(&xdrs, &call) != 0 && routine(&xdrs, arguments) != 0;
  record.resize(encoded ? xdr_getpos(&xdrs) : 0);
  xdr_destroy(&xdrs);
  return record;
}

}  // namespace tevra::sim::vxi11
