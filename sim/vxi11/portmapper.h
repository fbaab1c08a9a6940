// The machine's portmapper (rpcbind) as the simulator uses it: whether one answers on 127.0.0.1, and the
// registration of an RPC program served over TCP on a loopback port.
#pragma once

#include <cstdint>
#include <string>

namespace tevra::sim::vxi11 {

// Whether a portmapper answers a null call on 127.0.0.1 within the time.
bool portmapperAnswers(int timeoutMs);

// Registers the program's version for TCP at 127.0.0.1:port. A registration that a server left behind when
// it went away (nothing accepts at its port) is replaced; a live one is not. False with the reason.
bool registerProgram(uint32_t program, uint32_t version, uint16_t port, std::string* error);
// Removes the registration while it still names this port.
void unregisterProgram(uint32_t program, uint32_t version, uint16_t port);

}  // namespace tevra::sim::vxi11
