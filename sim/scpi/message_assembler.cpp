#include "sim/scpi/message_assembler.h"

namespace tevra::sim {

bool MessageAssembler::feed(const char* data, size_t size) {
  size_t at = 0;
  while (at < size) {
    size_t length = framer_.scan(data + at, size - at);
    bool ended = framer_.atMessageEnd();
    if (!overrun_) message_.append(data + at, length);
    at += length;
    if (!overrun_ && message_.size() > maxMessageSize_) {
      // Too long to hold: drop the rest of this message and report it once.
      overrun_ = true;
      message_.clear();
      message_.shrink_to_fit();
      onOverrun_();
    }
    if (!ended) continue;
    if (!overrun_) message_.pop_back();
    if (!deliver()) return false;
  }
  return true;
}

bool MessageAssembler::endMessage() {
  if (!framer_.inMessage()) return true;
  framer_.reset();
  return deliver();
}

void MessageAssembler::reset() {
  framer_.reset();
  message_.clear();
  overrun_ = false;
}

bool MessageAssembler::deliver() {
  bool goOn = overrun_ || onMessage_(message_);
  message_.clear();
  overrun_ = false;
  return goOn;
}

}  // namespace tevra::sim
