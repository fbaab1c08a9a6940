// HiSLIP instrument sessions (TCPIP::host::hislipN[,port]::INSTR): a synchronous channel for data and an
// asynchronous one for device clear, status, locks, remote/local and service requests, both to the same
// port; in the mode the server states (synchronized, or overlapped where replies queue in order).
#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <mutex>
#include <utility>

#include "platform/visa/hislip_message.h"
#include "platform/visa/instrument_link.h"

namespace tevra::platform::visa {
namespace {

using hislip::Message;

// The largest message this side takes, and the chunk that one receive asks for.
constexpr uint64_t kMaxPayload = uint64_t{1} << 26;
constexpr size_t kReceiveChunk = size_t{1} << 16;
constexpr uint16_t kVendorId = 0x5456;  // "TV"
// The message ids of one message and the next.
constexpr uint32_t kIdStep = 2;
constexpr uint8_t kLockRelease = 0;
constexpr uint8_t kLockRequest = 1;
constexpr uint8_t kLockSuccess = 1;
constexpr uint8_t kLockFailure = 0;
// The control code bit of InitializeResponse and the device clear acknowledgement: overlapped mode.
constexpr uint8_t kOverlapped = 1;
constexpr uint8_t kMessageAvailable = 0x10;

// One channel: a stream and the messages read from it.
class Channel {
 public:
  explicit Channel(std::unique_ptr<ByteStream> stream) : stream_(std::move(stream)), reader_(kMaxPayload) {}

  ViStatus send(uint8_t type, uint8_t control, uint32_t parameter, std::string_view payload,
                const Deadline& deadline) {
    std::string bytes = hislip::encode(type, control, parameter, payload);
    size_t sent = 0;
    ViStatus status = stream_->sendAll(bytes.data(), bytes.size(), deadline, &sent);
    // A message sent in part leaves the channel without a boundary.
    if (status < 0 && sent > 0) return VI_ERROR_CONN_LOST;
    return status;
  }

  // The next message; VI_ERROR_TMO at the deadline with what has arrived kept for the next call.
  ViStatus receive(Message* message, const Deadline& deadline) {
    for (;;) {
      switch (reader_.next(message)) {
        case hislip::Reader::Result::kMessage:
          return VI_SUCCESS;
        case hislip::Reader::Result::kInvalid:
          stream_->shutdown();
          return VI_ERROR_CONN_LOST;
        case hislip::Reader::Result::kNeedMore:
          break;
      }
      size_t received = 0;
      ViStatus status =
          stream_->receiveSome(reader_.reserve(kReceiveChunk), kReceiveChunk, deadline, &received);
      reader_.commit(received);
      if (status < 0) return status;
    }
  }

  // The next message of type, skipping service requests (and, when dropData, Data and DataEnd).
  ViStatus receiveType(uint8_t type, Message* message, const Deadline& deadline, bool dropData = false) {
    for (;;) {
      ViStatus status = receive(message, deadline);
      if (status < 0) return status;
      if (message->type == type) return VI_SUCCESS;
      if (message->type == hislip::kFatalError) return VI_ERROR_CONN_LOST;
      if (message->type == hislip::kAsyncServiceRequest) noteServiceRequest();
      bool skip = message->type == hislip::kAsyncServiceRequest || message->type == hislip::kInterrupted ||
                  message->type == hislip::kAsyncInterrupted ||
                  (dropData && (message->type == hislip::kData || message->type == hislip::kDataEnd));
      if (!skip) return VI_ERROR_IO;
    }
  }

  void shutdown() { stream_->shutdown(); }

  // Where the service requests that this channel receives go; none are kept before.
  void setServiceRequests(EventQueue* queue) { serviceRequests_ = queue; }
  void noteServiceRequest() {
    if (EventQueue* queue = serviceRequests_) queue->post();
  }

 private:
  std::unique_ptr<ByteStream> stream_;
  hislip::Reader reader_;
  std::atomic<EventQueue*> serviceRequests_{nullptr};
};

class HislipLink final : public InstrumentLink {
 public:
  HislipLink(std::unique_ptr<Channel> sync, std::unique_ptr<Channel> async, uint64_t maxMessage,
             bool overlapped)
      : sync_(std::move(sync)),
        async_(std::move(async)),
        maxMessage_(std::max<uint64_t>(maxMessage, 1)),
        overlapped_(overlapped) {}

  ViStatus write(const ViByte* data, size_t size, bool end, const Deadline& deadline, size_t* sent) override {
    *sent = 0;
    if (lost_) return VI_ERROR_CONN_LOST;
    if (size == 0 && !end) return VI_SUCCESS;
    // In synchronized mode the device drops a reply that a new message interrupts; its bytes here go too.
    if (!overlapped_ && !messageOpen_) resetPending();
    const char* bytes = reinterpret_cast<const char*>(data);
    do {
      size_t chunk = static_cast<size_t>(std::min<uint64_t>(size - *sent, maxMessage_));
      bool last = end && *sent + chunk == size;
      ViStatus status = sync_->send(last ? hislip::kDataEnd : hislip::kData, takeDelivered(), messageId_,
                                    {bytes + *sent, chunk}, deadline);
      if (status < 0) return lose(status);
      *sent += chunk;
    } while (*sent < size);
    // The parts of one message share its id; the next message takes the next one.
    messageOpen_ = !end;
    if (!end) return VI_SUCCESS;
    lastSentId_ = messageId_;
    replyId_ = messageId_;
    messageId_ += kIdStep;
    return VI_SUCCESS;
  }

  ViStatus read(ViByte* data, size_t size, const ReadTermination& termination, const Deadline& deadline,
                size_t* received) override {
    *received = 0;
    if (lost_) return VI_ERROR_CONN_LOST;
    for (;;) {
      size_t take = std::min(size - *received, pending_.size() - pendingTaken_);
      std::memcpy(data + *received, pending_.data() + pendingTaken_, take);
      *received += take;
      pendingTaken_ += take;
      bool drained = pendingTaken_ == pending_.size();
      if (drained && pendingEnd_) {
        resetPending();
        delivered_ = true;
        bool term = termination.enabled && *received > 0 &&
                    data[*received - 1] == static_cast<ViByte>(termination.character);
        return term ? VI_SUCCESS_TERM_CHAR : VI_SUCCESS;
      }
      if (*received == size) return VI_SUCCESS_MAX_CNT;
      Message message;
      ViStatus status = nextSyncMessage(&message, deadline);
      if (status < 0) return lose(status);
      bool data = message.type == hislip::kData || message.type == hislip::kDataEnd;
      // The rest of an interrupted reply; overlapped mode interrupts none.
      if (data && !overlapped_ && message.parameter != replyId_) continue;
      if (data) {
        if (drained) resetPending();
        pending_ += message.payload;
        pendingEnd_ = message.type == hislip::kDataEnd;
      } else if (message.type == hislip::kFatalError) {
        return lose(VI_ERROR_CONN_LOST);
      } else if (message.type == hislip::kError) {
        return VI_ERROR_IO;
      }
    }
  }

  // AsyncDeviceClear, then DeviceClearComplete on the synchronous channel, whose replies until the
  // acknowledgement are dropped.
  ViStatus clear(const ReadTermination&, const Deadline& deadline) override {
    if (lost_) return VI_ERROR_CONN_LOST;
    Message message;
    ViStatus status = asyncCall(hislip::kAsyncDeviceClear, 0, 0, {}, hislip::kAsyncDeviceClearAcknowledge,
                                deadline, &message);
    if (status >= 0) status = sync_->send(hislip::kDeviceClearComplete, message.control, 0, {}, deadline);
    if (status >= 0) status = sync_->receiveType(hislip::kDeviceClearAcknowledge, &message, deadline, true);
    if (status < 0) return lose(status);
    overlapped_ = (message.control & kOverlapped) != 0;
    backlog_.clear();
    resetPending();
    messageId_ = hislip::kFirstMessageId;
    messageOpen_ = false;
    lastSentId_ = messageId_ - kIdStep;
    replyId_ = lastSentId_;
    delivered_ = false;
    return VI_SUCCESS;
  }

  ViStatus readStatusByte(const ReadTermination&, const Deadline& deadline, ViUInt16* statusByte) override {
    Message message;
    ViStatus status = asyncCall(hislip::kAsyncStatusQuery, takeDelivered(), lastSentId_, {},
                                hislip::kAsyncStatusResponse, deadline, &message);
    if (status < 0) return status;
    *statusByte = message.control;
    // In overlapped mode the device has sent its replies; MAV is what has arrived here and not been read.
    if (overlapped_) {
      status = takeArrivedMessages();
      if (!pending_.empty() || pendingEnd_ || !backlog_.empty()) *statusByte |= kMessageAvailable;
    }
    return status;
  }

  ViStatus assertTrigger(const Deadline& deadline) override {
    if (lost_) return VI_ERROR_CONN_LOST;
    ViStatus status = sync_->send(hislip::kTrigger, takeDelivered(), messageId_, {}, deadline);
    if (status < 0) return lose(status);
    lastSentId_ = messageId_;
    messageId_ += kIdStep;
    return VI_SUCCESS;
  }

  ViStatus lock(ViUInt32 timeoutMs) override {
    Message message;
    ViStatus status = asyncCall(hislip::kAsyncLock, kLockRequest, timeoutMs, {}, hislip::kAsyncLockResponse,
                                Deadline::afterMilliseconds(timeoutMs).later(kAnswerMargin), &message);
    if (status < 0) return status;
    if (message.control == kLockFailure) return VI_ERROR_TMO;
    return message.control == kLockSuccess ? VI_SUCCESS : VI_ERROR_IO;
  }

  ViStatus unlock() override {
    Message message;
    ViStatus status = asyncCall(hislip::kAsyncLock, kLockRelease, lastSentId_, {}, hislip::kAsyncLockResponse,
                                Deadline::afterMilliseconds(kAnswerMargin.count()), &message);
    if (status < 0) return status;
    return message.control == kLockSuccess ? VI_SUCCESS : VI_ERROR_SESN_NLOCKED;
  }

  // AsyncServiceRequest comes unasked on the asynchronous channel: read while a session waits for it, and
  // kept when a call of that channel meets one.
  ViStatus enableServiceRequests(EventQueue* queue) override {
    async_->setServiceRequests(queue);
    return VI_SUCCESS;
  }

  ViStatus awaitEvents(EventQueue&, const Deadline& deadline) override {
    if (lost_) return VI_ERROR_CONN_LOST;
    std::lock_guard<std::mutex> lock(asyncMutex_);
    Message message;
    ViStatus status = async_->receive(&message, deadline);
    if (status >= 0 && message.type == hislip::kAsyncServiceRequest) async_->noteServiceRequest();
    return status == VI_ERROR_TMO ? VI_SUCCESS : lose(status);
  }

  void shutdown() override {
    lost_ = true;
    sync_->shutdown();
    async_->shutdown();
  }

  static constexpr std::chrono::milliseconds kAnswerMargin{2000};

 private:
  ViStatus asyncCall(uint8_t type, uint8_t control, uint32_t parameter, std::string_view payload,
                     uint8_t answer, const Deadline& deadline, Message* message) {
    if (lost_) return VI_ERROR_CONN_LOST;
    std::lock_guard<std::mutex> lock(asyncMutex_);
    ViStatus status = async_->send(type, control, parameter, payload, deadline);
    if (status >= 0) status = async_->receiveType(answer, message, deadline);
    // An answer that did not come in time would be taken for the next one's.
    return status < 0 ? lose(status) : status;
  }

  ViStatus lose(ViStatus status) {
    if (status == VI_ERROR_CONN_LOST) lost_ = true;
    return status;
  }

  // RMT-delivered: set on the first message after a whole reply has been read (synchronized mode).
  uint8_t takeDelivered() { return std::exchange(delivered_, false) && !overlapped_ ? 1 : 0; }

  // The next message of the synchronous channel: one taken ahead first.
  ViStatus nextSyncMessage(Message* message, const Deadline& deadline) {
    if (backlog_.empty()) return sync_->receive(message, deadline);
    *message = std::move(backlog_.front());
    backlog_.pop_front();
    return VI_SUCCESS;
  }

  // Takes the replies that have arrived without waiting.
  ViStatus takeArrivedMessages() {
    for (;;) {
      Message message;
      ViStatus status = sync_->receive(&message, Deadline::now());
      if (status == VI_ERROR_TMO) return VI_SUCCESS;
      if (status < 0) return lose(status);
      if (message.type == hislip::kData || message.type == hislip::kDataEnd)
        backlog_.push_back(std::move(message));
    }
  }

  void resetPending() {
    pending_.clear();
    pendingTaken_ = 0;
    pendingEnd_ = false;
  }

  std::unique_ptr<Channel> sync_;
  std::unique_ptr<Channel> async_;
  std::mutex asyncMutex_;  // a waiting session and the asynchronous calls take turns
  uint64_t maxMessage_;
  uint32_t messageId_ = hislip::kFirstMessageId;
  uint32_t lastSentId_ = hislip::kFirstMessageId - kIdStep;
  uint32_t replyId_ = lastSentId_;  // the message whose reply a read takes
  bool delivered_ = false;
  bool overlapped_;
  bool messageOpen_ = false;     // END-less writes have begun a message that has not ended
  std::deque<Message> backlog_;  // replies received ahead of the reads that take them
  std::string pending_;
  size_t pendingTaken_ = 0;
  bool pendingEnd_ = false;
  std::atomic<bool> lost_{false};
};

// Connects one channel within the deadline.
std::unique_ptr<Channel> connectChannel(const ResourceName& resource, const Deadline& deadline,
                                        ViStatus* status) {
  auto stream = connectTcp(resource.host, resource.port, deadline, status);
  return stream ? std::make_unique<Channel>(std::move(stream)) : nullptr;
}

}  // namespace

// Initialize on the synchronous channel with the sub-address, AsyncInitialize with the session id on the
// asynchronous one, and the largest message the server takes.
std::unique_ptr<InstrumentLink> openHislipLink(const ResourceName& resource, ViStatus* status) {
  Deadline deadline = Deadline::afterMilliseconds(kConnectTimeoutMs);
  // The analyzer loses track of the unique_ptrs that own the channels; nothing leaks.
  auto sync = connectChannel(resource, deadline, status);  // NOLINT(clang-analyzer-cplusplus.NewDeleteLeaks)
  if (!sync) return nullptr;
  Message message;
  *status = sync->send(hislip::kInitialize, 0, (uint32_t{hislip::kProtocolVersion} << 16) | kVendorId,
                       resource.deviceName, deadline);
  if (*status >= 0) *status = sync->receiveType(hislip::kInitializeResponse, &message, deadline);
  if (*status < 0) {
    *status = VI_ERROR_RSRC_NFOUND;
    return nullptr;
  }
  uint16_t session = static_cast<uint16_t>(message.parameter & 0xFFFF);
  bool overlapped = (message.control & kOverlapped) != 0;
  auto async = connectChannel(resource, deadline, status);  // NOLINT(clang-analyzer-cplusplus.NewDeleteLeaks)
  if (!async) return nullptr;
  *status = async->send(hislip::kAsyncInitialize, 0, session, {}, deadline);
  if (*status >= 0) *status = async->receiveType(hislip::kAsyncInitializeResponse, &message, deadline);
  if (*status >= 0)
    *status = async->send(hislip::kAsyncMaximumMessageSize, 0, 0, hislip::encodeSize(kMaxPayload), deadline);
  if (*status >= 0)
    *status = async->receiveType(hislip::kAsyncMaximumMessageSizeResponse, &message, deadline);
  if (*status < 0) {
    *status = VI_ERROR_RSRC_NFOUND;
    return nullptr;
  }
  *status = VI_SUCCESS;
  return std::make_unique<HislipLink>(std::move(sync), std::move(async), hislip::decodeSize(message.payload),
                                      overlapped);
}

}  // namespace tevra::platform::visa
