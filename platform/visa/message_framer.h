// Where IEEE 488.2 messages end in a byte stream: at the termination character, except inside a
// definite-length block ("#", a digit n, n digits of length, that many bytes of any value). A '#' opens a
// block only at the start of a data element (message start, after white space, ',' or ';') and outside
// quoted strings; a terminator ends the message even inside an unbalanced quote, so a stray quote character
// can never swallow the replies that follow.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tevra::platform::visa {

class MessageFramer {
 public:
  explicit MessageFramer(char terminator = '\n') : terminator_(terminator) {}

  // Scans up to size bytes, carrying the state over from earlier calls. Returns the number of bytes that
  // belong to the current message: size when it does not end within them, else the count up to and
  // including its terminator (the framer is then at the start of the next message).
  size_t scan(const char* data, size_t size);
  // As scan, but stops before the first byte of a definite-length block's payload, so that the caller can
  // take the payload elsewhere (it then scans it with scan).
  size_t scanToBlockData(const char* data, size_t size);
  // Passes over count bytes of a block's payload that the caller took without scanning (at most
  // blockBytesLeft()).
  void skipBlockData(uint64_t count);
  // The payload bytes still to come of the block being scanned; 0 outside a block's payload.
  uint64_t blockBytesLeft() const { return state_ == State::kBlockData ? blockBytesLeft_ : 0; }

  // True after scan() stopped at a terminator, until the next byte is scanned.
  bool atMessageEnd() const { return state_ == State::kStart; }
  // Bytes of a message have been scanned but not its terminator.
  bool inMessage() const { return state_ != State::kStart; }

  void reset();
  void setTerminator(char terminator) { terminator_ = terminator; }

 private:
  enum class State {
    kStart,
    kText,
    kDoubleQuoted,
    kSingleQuoted,
    kBlockDigitCount,
    kBlockLength,
    kBlockData
  };

  size_t scanUpTo(const char* data, size_t size, bool stopAtBlockData);
  // Feeds one byte; true when it ends the message.
  bool step(char c);
  bool startsDataElement() const;

  char terminator_;
  State state_ = State::kStart;
  char previous_ = 0;
  int lengthDigitsLeft_ = 0;
  uint64_t blockBytesLeft_ = 0;
};

}  // namespace tevra::platform::visa
