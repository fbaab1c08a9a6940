#include "sim/scpi/message_assembler.h"

#include <algorithm>
#include <cerrno>

namespace tevra::sim {

bool MessageAssembler::feed(const char* data, size_t size) {
  size_t at = 0;
  while (at < size) {
    if (framer_.blockBytesLeft() > 0) {
      const size_t take = static_cast<size_t>(std::min<uint64_t>(framer_.blockBytesLeft(), size - at));
      takePayload(data + at, take);
      at += take;
      continue;
    }
    size_t length = framer_.scanToBlockData(data + at, size - at);
    bool ended = framer_.atMessageEnd();
    if (!overrun_) message_.append(data + at, length);
    at += length;
    noteOverrun();
    if (framer_.blockBytesLeft() > 0) openSpool();
    if (!ended) continue;
    if (!overrun_) message_.pop_back();
    if (!deliver()) return false;
  }
  return true;
}

long MessageAssembler::receivePayload(int socket) {
  if (!spool_ || framer_.blockBytesLeft() == 0) {
    errno = ENOENT;
    return -1;
  }
  const long received = spool_->receiveFrom(socket, static_cast<size_t>(framer_.blockBytesLeft()));
  if (received > 0) {
    framer_.skipBlockData(static_cast<uint64_t>(received));
    if (framer_.blockBytesLeft() == 0) spool_.reset();
  }
  return received;
}

void MessageAssembler::takePayload(const char* data, size_t size) {
  framer_.scan(data, size);
  if (spool_) {
    spool_->append(data, size);
  } else if (!overrun_) {
    message_.append(data, size);
    noteOverrun();
  }
  if (framer_.blockBytesLeft() == 0) spool_.reset();
}

void MessageAssembler::openSpool() {
  if (overrun_ || !opener_) return;
  spool_ = opener_(framer_.blockBytesLeft());
  if (spool_) blocks_.push_back({message_.size(), spool_});
}

void MessageAssembler::noteOverrun() {
  if (overrun_ || message_.size() <= maxMessageSize_) return;
  // Too long to hold: drop the rest of this message and report it once.
  overrun_ = true;
  message_.clear();
  message_.shrink_to_fit();
  blocks_.clear();
  spool_.reset();
  onOverrun_();
}

bool MessageAssembler::endMessage() {
  if (!framer_.inMessage()) return true;
  framer_.reset();
  return deliver();
}

void MessageAssembler::reset() {
  framer_.reset();
  message_.clear();
  blocks_.clear();
  spool_.reset();
  overrun_ = false;
}

bool MessageAssembler::deliver() {
  spool_.reset();
  bool goOn = overrun_ || onMessage_(message_, blocks_);
  message_.clear();
  blocks_.clear();
  overrun_ = false;
  return goOn;
}

}  // namespace tevra::sim
