// One VXI-11 link as the simulator serves it: one connection of the engine, with its own errors, faults
// and I/O ownership. device_write data is assembled into program messages (ended by "\n" or by END); their
// replies wait in order until device_read takes them, a delayed or split reply only as its time comes.
// A message that arrives while a reply waits unread drops it with -410; a read that finds no reply and none
// owed reports -420 and waits out its timeout. When the status byte's summary bit rises after the link's
// own exchange (a bit that *SRE enables), the link calls device_intr_srq on its interrupt channel.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/instrument/instrument.h"
#include "sim/scpi/message_assembler.h"
#include "sim/vxi11/interrupt_channel.h"

namespace tevra::sim::vxi11 {

// The VXI-11 error codes that the simulator answers.
inline constexpr int32_t kNoError = 0;
inline constexpr int32_t kDeviceNotAccessible = 3;
inline constexpr int32_t kInvalidLinkIdentifier = 4;
inline constexpr int32_t kOutOfResources = 9;
inline constexpr int32_t kDeviceLockedByAnotherLink = 11;
inline constexpr int32_t kNoLockHeldByThisLink = 12;
inline constexpr int32_t kOperationNotSupported = 8;
inline constexpr int32_t kIoTimeout = 15;
inline constexpr int32_t kChannelNotEstablished = 6;
inline constexpr int32_t kAbort = 23;
inline constexpr int32_t kChannelAlreadyEstablished = 29;

// Why a device_read ended.
inline constexpr int32_t kReasonRequestCount = 0x01;
inline constexpr int32_t kReasonTermChar = 0x02;
inline constexpr int32_t kReasonEnd = 0x04;

struct ReadRequest {
  size_t size = 0;
  std::chrono::milliseconds timeout{0};
  std::optional<char> termChar;  // the read also ends after this character
};

struct ReadResult {
  int32_t error = kNoError;
  int32_t reason = 0;
  std::string data;
};

class DeviceLink {
 public:
  explicit DeviceLink(Instrument& instrument);
  ~DeviceLink() { instrument_.disconnect(*connection_); }
  DeviceLink(const DeviceLink&) = delete;
  DeviceLink& operator=(const DeviceLink&) = delete;

  // Runs the program messages that the data completes; end says that the data ends a message. False when
  // a fault closes the connection instead.
  bool write(const char* data, size_t size, bool end);
  // The bytes of the oldest reply, up to the request's size, its term character or the reply's end; an
  // I/O timeout when none are ready in time (a reply is never lost to a timeout).
  ReadResult read(const ReadRequest& request);
  // A device clear: drops the replies not yet read and a partly received message.
  void clear();
  // The status byte, with MAV while a reply waits to be read.
  uint8_t statusByte();
  // Ends a read that waits, and every later one, with an I/O timeout: the server is stopping.
  void abandon();
  // Ends a read that waits now (device_abort) with error 23; false when none waits.
  bool abort();
  // Service requests of the link go to channel with the client's handle; a null channel sends none.
  void setServiceRequests(std::shared_ptr<InterruptChannel> channel, std::string handle);

 private:
  struct Reply {
    std::string bytes;
    // When each piece becomes readable, and where it ends.
    std::vector<std::pair<std::chrono::steady_clock::time_point, size_t>> pieces;
    size_t taken = 0;
  };

  bool runMessage(const std::string& message, const scpi::SpooledBlocks& blocks);
  // Under the lock: a rise of the status byte's summary sends a service request where one is enabled.
  void noteStatus();
  void queueReply(std::string bytes, const ReplyPlan& plan);
  // The result for the request if the oldest reply can answer it now.
  std::optional<ReadResult> takeReady(const ReadRequest& request, std::chrono::steady_clock::time_point now);
  // When the next piece of the oldest reply becomes readable, if one is still to come.
  std::optional<std::chrono::steady_clock::time_point> nextPieceTime(
      std::chrono::steady_clock::time_point now) const;

  Instrument& instrument_;
  std::shared_ptr<Connection> connection_;
  MessageAssembler assembler_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Reply> replies_;
  bool replyWithheld_ = false;  // the last message's reply was withheld by a fault
  bool abandoned_ = false;
  bool readWaiting_ = false;
  bool abortRequested_ = false;
  ServiceRequestEdge summary_;
  std::shared_ptr<InterruptChannel> srqChannel_;
  std::string srqHandle_;
};

}  // namespace tevra::sim::vxi11
