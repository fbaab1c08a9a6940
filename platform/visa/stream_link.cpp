#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "platform/visa/instrument_link.h"
#include "platform/visa/local_lock.h"
#include "platform/visa/message_framer.h"

namespace tevra::platform::visa {
namespace {

constexpr size_t kReceiveChunk = size_t{64} * 1024;

class StreamLink final : public InstrumentLink {
 public:
  StreamLink(std::unique_ptr<ByteStream> stream, std::string lockKey)
      : stream_(std::move(stream)), lockKey_(std::move(lockKey)) {}
  ~StreamLink() override { LocalLocks::instance().unlock(lockKey_, this); }
  StreamLink(const StreamLink&) = delete;
  StreamLink& operator=(const StreamLink&) = delete;

  ViStatus write(const ViByte* data, size_t size, bool end, const Deadline& deadline, size_t* sent) override {
    *sent = 0;
    if (lost_) return VI_ERROR_CONN_LOST;
    if (lockedOut()) return VI_ERROR_RSRC_LOCKED;
    const char* bytes = reinterpret_cast<const char*>(data);
    for (size_t at = 0; at < size;) at += outgoing_.scan(bytes + at, size - at);
    // A socket has no END: a message that the data leave open gets its terminator.
    const bool terminate = end && outgoing_.inMessage();
    if (end) outgoing_.reset();
    if (size == 0 && !terminate) return VI_SUCCESS;
    size_t wentOut = 0;
    ViStatus status = VI_SUCCESS;
    if (size > kReceiveChunk) {
      // A large message (a file as a block) leaves from the caller's buffer: a copy would cost more than
      // the one extra segment of its terminator.
      status = noteLoss(stream_->sendAll(data, size, deadline, &wentOut));
      size_t terminatorSent = 0;
      if (status == VI_SUCCESS && terminate)
        status = noteLoss(stream_->sendAll("\n", 1, deadline, &terminatorSent));
    } else {
      // One buffer and one send, so that the message leaves in as few segments as possible.
      message_.assign(data, data + size);
      if (terminate) message_.push_back('\n');
      status = noteLoss(stream_->sendAll(message_.data(), message_.size(), deadline, &wentOut));
    }
    *sent = wentOut < size ? wentOut : size;
    return status;
  }

  ViStatus read(ViByte* data, size_t size, const ReadTermination& termination, const Deadline& deadline,
                size_t* received) override {
    *received = 0;
    if (lockedOut()) return VI_ERROR_RSRC_LOCKED;
    framer_.setTerminator(termination.character);
    for (;;) {
      if (deliverPending(data, size, termination.enabled, received)) return VI_SUCCESS_TERM_CHAR;
      if (*received == size) return VI_SUCCESS_MAX_CNT;
      ViStatus status = receiveMore(deadline);
      if (status < 0) return status;
    }
  }

  ViStatus clear(const ReadTermination& termination, const Deadline& deadline) override {
    if (lost_) return VI_ERROR_CONN_LOST;
    if (lockedOut()) return VI_ERROR_RSRC_LOCKED;
    framer_.setTerminator(termination.character);
    ViStatus status = VI_SUCCESS;
    for (;;) {
      skipPending();
      // A partly received reply is dropped up to its end; otherwise only what has already arrived.
      status = receiveMore(framer_.inMessage() ? deadline : Deadline::now());
      if (status == VI_ERROR_TMO && !framer_.inMessage()) {
        status = VI_SUCCESS;
        break;
      }
      if (status < 0) break;
      if (deadline.expired()) {
        skipPending();
        status = framer_.inMessage() ? VI_ERROR_TMO : VI_SUCCESS;
        break;
      }
    }
    dropPending();
    framer_.reset();
    outgoing_.reset();
    return status;
  }

  ViStatus lock(ViUInt32 timeoutMs) override {
    return LocalLocks::instance().lock(lockKey_, this, timeoutMs);
  }
  ViStatus unlock() override { return LocalLocks::instance().unlock(lockKey_, this); }

  void shutdown() override {
    lost_ = true;
    stream_->shutdown();
    LocalLocks::instance().unlock(lockKey_, this);
  }

 private:
  bool lockedOut() const { return LocalLocks::instance().heldByOther(lockKey_, this); }

  // Copies buffered bytes of the current message to the caller; true when its terminator was among them.
  bool deliverPending(ViByte* data, size_t size, bool terminationEnabled, size_t* received) {
    size_t available = pending_.size() - pendingStart_;
    size_t room = size - *received;
    size_t take = available < room ? available : room;
    if (take == 0) return false;
    const char* from = reinterpret_cast<const char*>(pending_.data()) + pendingStart_;
    size_t length = terminationEnabled ? framer_.scan(from, take) : take;
    std::memcpy(data + *received, from, length);
    *received += length;
    pendingStart_ += length;
    if (pendingStart_ == pending_.size()) dropPending();
    return terminationEnabled && framer_.atMessageEnd() && length > 0;
  }

  ViStatus receiveMore(const Deadline& deadline) {
    if (lost_) return VI_ERROR_CONN_LOST;
    if (pendingStart_ > 0 && pendingStart_ == pending_.size()) dropPending();
    size_t oldSize = pending_.size();
    pending_.resize(oldSize + kReceiveChunk);
    size_t got = 0;
    ViStatus status =
        noteLoss(stream_->receiveSome(pending_.data() + oldSize, kReceiveChunk, deadline, &got));
    pending_.resize(oldSize + got);
    return status;
  }

  // A connection that the peer closed stays lost: raw SCPI has no way to resume it.
  ViStatus noteLoss(ViStatus status) {
    if (status == VI_ERROR_CONN_LOST) lost_ = true;
    return status;
  }

  // Runs the buffered bytes through the framer and drops them.
  void skipPending() {
    const char* data = reinterpret_cast<const char*>(pending_.data());
    for (size_t at = pendingStart_; at < pending_.size();)
      at += framer_.scan(data + at, pending_.size() - at);
    dropPending();
  }

  void dropPending() {
    pending_.clear();
    pendingStart_ = 0;
  }

  std::unique_ptr<ByteStream> stream_;
  std::string lockKey_;
  MessageFramer framer_;
  // The message that END-less writes have left open, so that the one with END knows whether to terminate it.
  MessageFramer outgoing_;
  std::vector<ViByte> pending_;  // received, not yet delivered, from pendingStart_ on
  size_t pendingStart_ = 0;
  std::vector<ViByte> message_;
  std::atomic<bool> lost_{false};
};

}  // namespace

std::unique_ptr<InstrumentLink> makeStreamLink(std::unique_ptr<ByteStream> stream, std::string lockKey) {
  return std::make_unique<StreamLink>(std::move(stream), std::move(lockKey));
}

}  // namespace tevra::platform::visa
