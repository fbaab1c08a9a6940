// The server's own SCPI connection to the instrument over VISA: commands, queries and the error-queue
// check that follows every command sequence. Any VISA failure ends the connection, so that a reply that
// arrives late can never be taken for the answer to a later query; ActivateInstrument opens a new one.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/visa/visa.h"

namespace tevra::q7730 {

class ScpiLink {
 public:
  static constexpr size_t kMaxReplyBytes = 64 * 1024;
  // File transfers: the largest file of the instrument's memory.
  static constexpr size_t kMaxBlockBytes = 64u << 20;

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
  // The comma-separated numbers of a measurement result query, at least `atLeast` of them; a refused query
  // fails with the instrument's error.
  std::vector<double> fetchNumbers(std::string_view command, size_t atLeast);
  // Writes "<command><block of length bytes>" as one message, e.g. `MMEMory:DATA "a.wf1",` and a file, in
  // pieces that fill(piece, size) reads in order, so that reading the source overlaps sending it. When fill
  // fails, the block goes on as zeros and the message gets one parameter too many, so that the instrument
  // refuses the command and keeps what it held; false then, and the error that refusal queued is cleared.
  bool writeBlock(std::string_view command, size_t length,
                  const std::function<bool(char* piece, size_t size)>& fill);
  void writeBlock(std::string_view command, std::string_view bytes);
  // The payload of the definite-length block that answers "<command>;*OPC?". An instrument error (no block)
  // fails with that error; a malformed, truncated or overlong block closes the connection.
  std::string queryBlock(std::string_view command);
  // Reads the error queue until it is empty and fails with the first error it held.
  void checkErrors();
  // Writes the commands in order, then checks the error queue.
  void run(std::initializer_list<std::string_view> commands);

  // Hands the instrument's I/O to the other connections and confirms that they have it.
  void suspend();

 private:
  void requireOpen() const;
  std::string readReply(std::string_view command, size_t maxBytes = kMaxReplyBytes);
  [[noreturn]] void failIo(const char* call, std::string_view command, ViStatus status);

  ViSession manager_ = VI_NULL;
  ViSession session_ = VI_NULL;
  void writePiece(std::string_view piece, bool end);

  // Kept between block transfers: fresh pages for every piece would cost more than copying it.
  std::unique_ptr<char[]> blockPiece_;
};

}  // namespace tevra::q7730
