// The server's own SCPI connection to the instrument over VISA: commands, queries and the error-queue
// check that follows every command sequence. Any VISA failure ends the connection, so that a reply that
// arrives late can never be taken for the answer to a later query; ActivateInstrument opens a new one.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/visa/visa.h"

namespace tevra::q7730 {

class ScpiLink {
 public:
  static constexpr size_t kMaxReplyBytes = 64 * 1024;

  ScpiLink() = default;
  ScpiLink(const ScpiLink&) = delete;
  ScpiLink& operator=(const ScpiLink&) = delete;
  ~ScpiLink() { close(); }

  // Opens a session to the resource and declares it the server connection.
  void open(const std::string& resource);
  void close();
  bool isOpen() const { return session_ != VI_NULL; }

  void write(std::string_view command);
  // The reply without its terminator.
  std::string query(std::string_view command);
  int64_t queryInteger(std::string_view command);
  bool queryBoolean(std::string_view command);
  // The comma-separated numbers of the reply, then the error check; fails when fewer than `least` came.
  std::vector<double> queryNumbers(std::string_view command, size_t least);
  // Reads the error queue until it is empty and fails with the first error it held.
  void checkErrors();
  // Writes the commands in order, then checks the error queue.
  void run(std::initializer_list<std::string_view> commands);

  // Hands the instrument's I/O to the other connections and confirms that they have it.
  void suspend();

 private:
  void requireOpen() const;
  std::string readReply(std::string_view command);
  [[noreturn]] void failIo(const char* call, std::string_view command, ViStatus status);

  ViSession manager_ = VI_NULL;
  ViSession session_ = VI_NULL;
};

}  // namespace tevra::q7730
