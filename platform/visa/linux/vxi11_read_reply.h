// The device_read result of the VXI-11 core channel, decoded straight into the caller's buffer and never
// past its capacity: a reply with more data than was asked for does not decode.
#pragma once

#include <rpc/rpc.h>

#include <cstdint>

namespace tevra::platform::visa {

struct Vxi11ReadReply {
  int32_t error = 0;
  int reason = 0;
  char* data = nullptr;  // the caller's buffer
  u_int size = 0;
  u_int capacity = 0;
};

bool_t xdrVxi11ReadReply(XDR* xdrs, Vxi11ReadReply* reply);

}  // namespace tevra::platform::visa
