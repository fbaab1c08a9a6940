// Program messages out of the bytes that a front end receives: a message ends at "\n" outside
// definite-length blocks, or where the transport marks its end (VXI-11's END). A message that grows past
// the bound is dropped up to its end and reported once.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "platform/visa/message_framer.h"

namespace tevra::sim {

class MessageAssembler {
 public:
  // Runs one whole message (without its terminator); false stops the assembly (the connection closes).
  using MessageHandler = std::function<bool(const std::string& message)>;
  using OverrunHandler = std::function<void()>;

  MessageAssembler(size_t maxMessageSize, MessageHandler onMessage, OverrunHandler onOverrun)
      : maxMessageSize_(maxMessageSize), onMessage_(std::move(onMessage)), onOverrun_(std::move(onOverrun)) {}

  // Takes received bytes and runs every message that ends within them; false when a handler stopped.
  bool feed(const char* data, size_t size);
  // The transport says the message ends here: runs what has been received of it, if anything.
  bool endMessage();
  // Forgets a partly received message (a device clear).
  void reset();

 private:
  bool deliver();

  size_t maxMessageSize_;
  MessageHandler onMessage_;
  OverrunHandler onOverrun_;
  platform::visa::MessageFramer framer_;
  std::string message_;
  bool overrun_ = false;
};

}  // namespace tevra::sim
