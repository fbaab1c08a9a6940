// The VISA layer's decoding of VXI-11 replies, on arbitrary records: device_read data stays within the
// caller's count, and other results release what they allocated.
#include <arpa/inet.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/visa/linux/onc_rpc.h"
#include "platform/visa/linux/vxi11_read_reply.h"
#include "vxi11/vxi11_core.h"

using namespace tevra::platform::visa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* record = reinterpret_cast<const char*>(data);
  uint32_t xid = 0;
  if (size >= sizeof xid) std::memcpy(&xid, data, sizeof xid);
  xid = ntohl(xid);
  char buffer[16];
  Vxi11ReadReply read;
  read.data = buffer;
  read.capacity = sizeof buffer;
  decodeRpcReply(record, size, xid, xdrRoutine(xdrVxi11ReadReply), &read);
  Create_LinkResp link{};
  decodeRpcReply(record, size, xid, xdrRoutine(xdr_Create_LinkResp), &link);
  xdr_free(xdrRoutine(xdr_Create_LinkResp), &link);
  return 0;
}
