// Program messages out of the bytes that a front end receives: a message ends at "\n" outside
// definite-length blocks, or where the transport marks its end (VXI-11's END). A message that grows past
// the bound is dropped up to its end and reported once. With a spool opener, the payload of a block that
// the opener takes goes to its spool as it arrives and is left out of the message text.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "platform/visa/message_framer.h"
#include "sim/scpi/block_spool.h"

namespace tevra::sim {

class MessageAssembler {
 public:
  // Runs one whole message (without its terminator); false stops the assembly (the connection closes).
  using MessageHandler = std::function<bool(const std::string& message, const scpi::SpooledBlocks& blocks)>;
  using OverrunHandler = std::function<void()>;

  MessageAssembler(size_t maxMessageSize, MessageHandler onMessage, OverrunHandler onOverrun)
      : maxMessageSize_(maxMessageSize), onMessage_(std::move(onMessage)), onOverrun_(std::move(onOverrun)) {}

  void spoolBlocksWith(scpi::SpoolOpener opener) { opener_ = std::move(opener); }
  // Takes received bytes and runs every message that ends within them; false when a handler stopped.
  bool feed(const char* data, size_t size);
  // Within a spooled block's payload: receives the rest of it, or what has arrived of it, from a connected
  // socket straight into its spool (the count, 0 when the peer closed, -1 with errno). -1 with errno
  // ENOENT outside one.
  long receivePayload(int socket);
  // The transport says the message ends here: runs what has been received of it, if anything.
  bool endMessage();
  // Forgets a partly received message (a device clear).
  void reset();

 private:
  bool deliver();
  void takePayload(const char* data, size_t size);
  void openSpool();
  void noteOverrun();

  size_t maxMessageSize_;
  MessageHandler onMessage_;
  OverrunHandler onOverrun_;
  platform::visa::MessageFramer framer_;
  std::string message_;
  bool overrun_ = false;
  scpi::SpoolOpener opener_;
  std::shared_ptr<scpi::BlockSpool> spool_;  // of the payload being received
  scpi::SpooledBlocks blocks_;               // of the message being received
};

}  // namespace tevra::sim
