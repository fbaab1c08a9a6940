#include "sim/hislip/hislip_server.h"

#include <strings.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

#include "platform/visa/hislip_message.h"
#include "sim/net/tcp_server.h"
#include "sim/scpi/message_assembler.h"
#include "sim/scpi/scpi_error.h"

namespace tevra::sim::hislip {
namespace {

namespace wire = platform::visa::hislip;
using wire::Message;

constexpr const char* kSubAddress = "hislip0";
constexpr uint64_t kMaxPayload = TcpServer::kMaxMessageSize;
constexpr uint32_t kVendorId = 0x5153;  // "QS"
constexpr uint8_t kErrorUnrecognizedMessage = 1;
constexpr uint8_t kAsyncLockInfo = 24;
constexpr uint8_t kAsyncLockInfoResponse = 25;
constexpr uint8_t kLockRequest = 1;
constexpr uint8_t kLockFailure = 0;
constexpr uint8_t kLockSuccess = 1;
constexpr uint8_t kLockError = 3;
constexpr size_t kReceiveChunk = size_t{1} << 16;
// How long a status query waits for the synchronous channel to reach the message it names.
constexpr std::chrono::milliseconds kStatusWait{1000};
constexpr uint32_t kNoMessageYet = wire::kFirstMessageId - 2;

bool send(int fd, uint8_t type, uint8_t control, uint32_t parameter, std::string_view payload = {}) {
  std::string bytes = wire::encode(type, control, parameter, payload);
  return sendAll(fd, bytes.data(), bytes.size());
}

// The next message from the channel; false when it closes or sends what is not a message.
bool receive(int fd, wire::Reader& reader, Message* message) {
  for (;;) {
    switch (reader.next(message)) {
      case wire::Reader::Result::kMessage:
        return true;
      case wire::Reader::Result::kInvalid:
        send(fd, wire::kFatalError, wire::kFatalPoorlyFormedHeader, 0, "poorly formed message header");
        return false;
      case wire::Reader::Result::kNeedMore:
        break;
    }
    ssize_t n = ::recv(fd, reader.reserve(kReceiveChunk), kReceiveChunk, 0);
    reader.commit(n > 0 ? static_cast<size_t>(n) : 0);
    if (n <= 0) return false;
  }
}

}  // namespace

struct HislipServer::Session {
  uint16_t id = 0;
  std::shared_ptr<Connection> connection;
  std::mutex mutex;
  std::condition_variable processed;
  bool messageAvailable = false;
  uint64_t clientMax = kMaxPayload;
  // The id of the last message that the synchronous channel has run.
  uint32_t processedId = kNoMessageYet;

  // The asynchronous channel, once it is open: its answers and the service requests share it.
  std::mutex asyncMutex;
  int asyncFd = -1;
  ServiceRequestEdge summary;  // of the synchronous channel's thread

  bool sendAsync(uint8_t type, uint8_t control, uint32_t parameter, std::string_view payload = {}) {
    std::lock_guard<std::mutex> lock(asyncMutex);
    return asyncFd < 0 || send(asyncFd, type, control, parameter, payload);
  }

  void setAsyncChannel(int fd) {
    std::lock_guard<std::mutex> lock(asyncMutex);
    asyncFd = fd;
  }

  // Whether a reply was sent and not reported delivered; it is not any more.
  bool takeUnreadReply() {
    std::lock_guard<std::mutex> lock(mutex);
    return std::exchange(messageAvailable, false);
  }

  void markProcessed(uint32_t id) {
    std::lock_guard<std::mutex> lock(mutex);
    processedId = id;
    processed.notify_all();
  }
};

void HislipServer::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    lockReleased_.notify_all();
  }
  listener_.stop();
  std::lock_guard<std::mutex> lock(mutex_);
  stopping_ = false;
}

std::shared_ptr<HislipServer::Session> HislipServer::newSession() {
  std::lock_guard<std::mutex> lock(mutex_);
  while (nextSession_ == 0 || sessions_.count(nextSession_) != 0) ++nextSession_;
  auto session = std::make_shared<Session>();
  session->id = nextSession_++;
  session->connection = instrument_.connect();
  sessions_[session->id] = session;
  return session;
}

std::shared_ptr<HislipServer::Session> HislipServer::findSession(uint16_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = sessions_.find(id);
  return it == sessions_.end() ? nullptr : it->second;
}

void HislipServer::endSession(uint16_t id) {
  std::shared_ptr<Session> session;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = sessions_.find(id);
    if (it == sessions_.end()) return;
    session = it->second;
    sessions_.erase(it);
    if (lockHolder_ == id) {
      lockHolder_.reset();
      lockReleased_.notify_all();
    }
  }
  instrument_.disconnect(*session->connection);
}

bool HislipServer::lock(uint16_t id, uint32_t waitMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  bool free = lockReleased_.wait_for(lock, std::chrono::milliseconds(waitMs),
                                     [&] { return stopping_ || !lockHolder_ || lockHolder_ == id; });
  if (!free || stopping_) return false;
  lockHolder_ = id;
  return true;
}

bool HislipServer::unlock(uint16_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (lockHolder_ != id) return false;
  lockHolder_.reset();
  lockReleased_.notify_all();
  return true;
}

// The first message says which channel a connection is.
void HislipServer::serve(int fd) {
  wire::Reader reader(kMaxPayload);
  Message first;
  if (!receive(fd, reader, &first)) return;
  if (first.type == wire::kInitialize) {
    if (strcasecmp(first.payload.c_str(), kSubAddress) != 0 || first.payload.size() != strlen(kSubAddress)) {
      send(fd, wire::kFatalError, wire::kFatalInvalidInitialization, 0, "unknown sub-address");
      return;
    }
    auto session = newSession();
    if (send(fd, wire::kInitializeResponse, mode(), (uint32_t{wire::kProtocolVersion} << 16) | session->id))
      serveSync(fd, reader, session);
    endSession(session->id);
  } else if (first.type == wire::kAsyncInitialize) {
    auto session = findSession(static_cast<uint16_t>(first.parameter));
    if (!session) {
      send(fd, wire::kFatalError, wire::kFatalInvalidInitialization, 0, "unknown session");
      return;
    }
    if (send(fd, wire::kAsyncInitializeResponse, 0, kVendorId)) serveAsync(fd, reader, session);
  } else {
    send(fd, wire::kFatalError, wire::kFatalInvalidInitialization, 0, "not an initialization");
  }
}

void HislipServer::serveSync(int fd, wire::Reader& reader, const std::shared_ptr<Session>& session) {
  uint32_t messageId = 0;
  auto reply = [&](const std::string& bytes) {
    std::lock_guard<std::mutex> lock(session->mutex);
    size_t chunk = static_cast<size_t>(std::max<uint64_t>(session->clientMax, 1));
    size_t at = 0;
    do {
      size_t size = std::min(chunk, bytes.size() - at);
      bool last = at + size == bytes.size();
      if (!send(fd, last ? wire::kDataEnd : wire::kData, 0, messageId, {bytes.data() + at, size}))
        return false;
      at += size;
    } while (at < bytes.size());
    session->messageAvailable = true;
    return true;
  };
  MessageAssembler assembler(
      kMaxPayload,
      [&](const std::string& message, const scpi::SpooledBlocks& blocks) {
        // Overlapped mode queues replies: a new message interrupts none.
        if (session->takeUnreadReply() && !overlapped_)
          instrument_.reportExchangeError(scpi::errc::kQueryInterrupted);
        MessageOutcome outcome = instrument_.process(*session->connection, message, blocks);
        if (outcome.close) return false;
        if (!outcome.reply || !outcome.plan.send) return true;
        if (outcome.plan.delayMs > 0 && !listener_.pause(outcome.plan.delayMs)) return false;
        return reply(*outcome.reply);
      },
      [this] { instrument_.reportInputOverrun(); });
  assembler.spoolBlocksWith(instrument_.blockSpooler());
  // A rise of the status byte's summary after this session's exchange is a service request.
  auto noteStatus = [&] {
    bool available = false;
    {
      std::lock_guard<std::mutex> lock(session->mutex);
      available = session->messageAvailable;
    }
    uint8_t status = instrument_.statusByte(available);
    if (session->summary.rises(status)) session->sendAsync(wire::kAsyncServiceRequest, status, 0);
  };
  Message message;
  while (receive(fd, reader, &message)) {
    // RMT-delivered: the client has read the whole reply to its last message.
    if ((message.control & 1) != 0 &&
        (message.type == wire::kData || message.type == wire::kDataEnd || message.type == wire::kTrigger))
      session->takeUnreadReply();
    bool ok = true;
    switch (message.type) {
      case wire::kData:
      case wire::kDataEnd:
        messageId = message.parameter;
        ok = assembler.feed(message.payload.data(), message.payload.size()) &&
             (message.type == wire::kData || assembler.endMessage());
        if (message.type == wire::kDataEnd) session->markProcessed(message.parameter);
        break;
      case wire::kTrigger:
        session->markProcessed(message.parameter);
        break;
      case wire::kDeviceClearComplete: {
        assembler.reset();
        session->takeUnreadReply();
        session->markProcessed(kNoMessageYet);
        ok = send(fd, wire::kDeviceClearAcknowledge, mode(), 0);
        break;
      }
      default:
        ok = send(fd, wire::kError, kErrorUnrecognizedMessage, 0, "unrecognized message type");
    }
    if (!ok) return;
    noteStatus();
  }
}

void HislipServer::serveAsync(int fd, wire::Reader& reader, const std::shared_ptr<Session>& session) {
  session->setAsyncChannel(fd);
  Message message;
  while (receive(fd, reader, &message)) {
    bool ok = true;
    switch (message.type) {
      case wire::kAsyncMaximumMessageSize: {
        std::lock_guard<std::mutex> lock(session->mutex);
        session->clientMax = std::max<uint64_t>(wire::decodeSize(message.payload), 1);
        ok = session->sendAsync(wire::kAsyncMaximumMessageSizeResponse, 0, 0, wire::encodeSize(kMaxPayload));
        break;
      }
      case wire::kAsyncDeviceClear:
        ok = session->sendAsync(wire::kAsyncDeviceClearAcknowledge, mode(), 0);
        break;
      case wire::kAsyncStatusQuery: {
        bool available = false;
        {
          // The query names the last message the client sent, which may not have run yet.
          std::unique_lock<std::mutex> lock(session->mutex);
          session->processed.wait_for(lock, kStatusWait,
                                      [&] { return session->processedId == message.parameter; });
          if ((message.control & 1) != 0) session->messageAvailable = false;
          // In overlapped mode every reply has been sent already; the client knows what it has not read.
          available = session->messageAvailable && !overlapped_;
        }
        ok = session->sendAsync(wire::kAsyncStatusResponse, instrument_.statusByte(available), 0);
        break;
      }
      case wire::kAsyncLock: {
        uint8_t answer = message.control == kLockRequest
                             ? (lock(session->id, message.parameter) ? kLockSuccess : kLockFailure)
                             : (unlock(session->id) ? kLockSuccess : kLockError);
        ok = session->sendAsync(wire::kAsyncLockResponse, answer, 0);
        break;
      }
      case kAsyncLockInfo: {
        bool held = false;
        {
          std::lock_guard<std::mutex> lock(mutex_);
          held = lockHolder_.has_value();
        }
        ok = session->sendAsync(kAsyncLockInfoResponse, held ? 1 : 0, held ? 1 : 0);
        break;
      }
      case wire::kAsyncRemoteLocalControl:
        ok = session->sendAsync(wire::kAsyncRemoteLocalResponse, 0, 0);
        break;
      default:
        ok = session->sendAsync(wire::kError, kErrorUnrecognizedMessage, 0, "unrecognized message type");
    }
    if (!ok) break;
  }
  session->setAsyncChannel(-1);
}

}  // namespace tevra::sim::hislip
