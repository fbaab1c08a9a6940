#include "platform/visa/message_framer.h"

#include <algorithm>

namespace tevra::platform::visa {

void MessageFramer::reset() {
  state_ = State::kStart;
  previous_ = 0;
  lengthDigitsLeft_ = 0;
  blockBytesLeft_ = 0;
}

size_t MessageFramer::scan(const char* data, size_t size) {
  return scanUpTo(data, size, false);
}

size_t MessageFramer::scanToBlockData(const char* data, size_t size) {
  return scanUpTo(data, size, true);
}

void MessageFramer::skipBlockData(uint64_t count) {
  if (state_ != State::kBlockData) return;
  blockBytesLeft_ -= std::min(count, blockBytesLeft_);
  // The payload's last byte is not known here; it is data, never a separator that starts an element.
  previous_ = 0;
  if (blockBytesLeft_ == 0) state_ = State::kText;
}

size_t MessageFramer::scanUpTo(const char* data, size_t size, bool stopAtBlockData) {
  for (size_t i = 0; i < size; ++i) {
    if (state_ == State::kBlockData && blockBytesLeft_ > 0) {
      if (stopAtBlockData) return i;
      // Skip the block's payload in one step: its bytes carry no framing.
      uint64_t take = blockBytesLeft_ < size - i ? blockBytesLeft_ : size - i;
      blockBytesLeft_ -= take;
      i += take - 1;
      previous_ = data[i];
      if (blockBytesLeft_ == 0) state_ = State::kText;
      continue;
    }
    if (step(data[i])) return i + 1;
  }
  return size;
}

bool MessageFramer::startsDataElement() const {
  return state_ == State::kStart || previous_ == ' ' || previous_ == '\t' || previous_ == ',' ||
         previous_ == ';';
}

bool MessageFramer::step(char c) {
  if (state_ == State::kBlockDigitCount) {
    if (c >= '1' && c <= '9') {
      lengthDigitsLeft_ = c - '0';
      blockBytesLeft_ = 0;
      state_ = State::kBlockLength;
      previous_ = c;
      return false;
    }
    state_ = State::kText;  // "#0" (indefinite block), "#H1F" and the like end at the terminator
  } else if (state_ == State::kBlockLength) {
    if (c >= '0' && c <= '9') {
      blockBytesLeft_ = blockBytesLeft_ * 10 + static_cast<uint64_t>(c - '0');
      previous_ = c;
      if (--lengthDigitsLeft_ == 0) state_ = blockBytesLeft_ > 0 ? State::kBlockData : State::kText;
      return false;
    }
    state_ = State::kText;  // not a block header after all
  }

  if (c == terminator_) {
    reset();
    return true;
  }
  switch (state_) {
    case State::kDoubleQuoted:
      if (c == '"') state_ = State::kText;
      break;
    case State::kSingleQuoted:
      if (c == '\'') state_ = State::kText;
      break;
    default:
      if (c == '"') {
        state_ = State::kDoubleQuoted;
      } else if (c == '\'') {
        state_ = State::kSingleQuoted;
      } else if (c == '#' && startsDataElement()) {
        state_ = State::kBlockDigitCount;
      } else {
        state_ = State::kText;
      }
      break;
  }
  previous_ = c;
  return false;
}

}  // namespace tevra::platform::visa
