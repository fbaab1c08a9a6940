// The sequence every direct-I/O export runs: hand the instrument's I/O over from the server, trace
// "OK, suspended", clear the session, then writes, reads and error-queue checks, each failure traced with
// the export's code. Once the call has met a timeout or a lost connection, its remaining I/O fails at once.
//
//   visa::DirectIo io({.position = 7774});
//   if (const int32_t failed = io.write(-7782, ":OUTput OFF"); failed != 0) return failed;
//   io.send({":OUTput:MODulation:STATe OFF"});
//   return io.checkErrors(-7793);
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "platform/com/hresult.h"

namespace tevra::visa {

// When the server's Suspend is called: only while a server is connected, always (without one it fails
// with the null-pointer COM error), or never.
enum class Suspend { kIfServer, kAlways, kNever };
// When "OK, suspended" is traced: always, only after a Suspend, or never.
enum class TraceSuspend { kAlways, kWhenSuspended, kNever };

struct DirectSteps {
  int32_t position = 0;  // stored before Suspend
  Suspend suspend = Suspend::kIfServer;
  TraceSuspend trace = TraceSuspend::kAlways;
  bool clear = true;
};

class DirectIo {
 public:
  // Runs the opening steps; a failing Suspend raises its COM error before any I/O.
  explicit DirectIo(const DirectSteps& steps);
  DirectIo(const DirectIo&) = delete;
  DirectIo& operator=(const DirectIo&) = delete;

  // The HRESULT of Suspend, S_OK when it was not called.
  platform::HRESULT suspendStatus() const { return suspendStatus_; }

  // A checked write: 0, or code with "ERR <code>,viWrite() failed, rc = 0x%08X" traced.
  int32_t write(int32_t code, std::string_view command) const;
  // Writes whose statuses the following error check stands for.
  void send(std::initializer_list<std::string_view> commands) const;
  // A checked read of at most capacity - 1 bytes, terminated: 0, or code with the viRead() ERR line.
  int32_t read(int32_t code, char* reply, size_t capacity) const;
  // Reads the error queue: 0, or code with "ERR <code>,<text>, rc 0x%08X (%d)" for its first error.
  int32_t checkErrors(int32_t code) const;

 private:
  platform::HRESULT suspendStatus_ = 0;
};

}  // namespace tevra::visa
