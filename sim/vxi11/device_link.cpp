#include "sim/vxi11/device_link.h"

#include <algorithm>

#include "sim/net/reply_pieces.h"
#include "sim/net/tcp_server.h"
#include "sim/scpi/scpi_error.h"

namespace tevra::sim::vxi11 {
namespace {

using Clock = std::chrono::steady_clock;

size_t readableEnd(const std::vector<std::pair<Clock::time_point, size_t>>& pieces, Clock::time_point now) {
  size_t end = 0;
  for (const auto& [time, pieceEnd] : pieces) {
    if (time > now) break;
    end = pieceEnd;
  }
  return end;
}

}  // namespace

DeviceLink::DeviceLink(Instrument& instrument)
    : instrument_(instrument),
      connection_(instrument.connect()),
      assembler_(
          TcpServer::kMaxMessageSize,
          [this](const std::string& message, const scpi::SpooledBlocks& blocks) {
            return runMessage(message, blocks);
          },
          [this] { instrument_.reportInputOverrun(); }) {
  assembler_.spoolBlocksWith(instrument_.blockSpooler());
}

bool DeviceLink::write(const char* data, size_t size, bool end) {
  std::lock_guard<std::mutex> lock(mutex_);
  return assembler_.feed(data, size) && (!end || assembler_.endMessage());
}

uint8_t DeviceLink::statusByte() {
  bool messageAvailable = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    messageAvailable = !replies_.empty();
  }
  return instrument_.statusByte(messageAvailable);
}

bool DeviceLink::runMessage(const std::string& message, const scpi::SpooledBlocks& blocks) {
  // IEEE 488.2: a new message while a reply waits unread drops the reply.
  if (!replies_.empty()) {
    replies_.clear();
    instrument_.reportExchangeError(scpi::errc::kQueryInterrupted);
  }
  MessageOutcome outcome = instrument_.process(*connection_, message, blocks);
  if (outcome.close) return false;
  replyWithheld_ = outcome.reply && !outcome.plan.send;
  if (outcome.reply && outcome.plan.send) queueReply(std::move(*outcome.reply), outcome.plan);
  noteStatus();
  return true;
}

void DeviceLink::noteStatus() {
  if (!summary_.rises(instrument_.statusByte(!replies_.empty())) || !srqChannel_) return;
  if (!srqChannel_->requestService(srqHandle_)) srqChannel_.reset();
}

void DeviceLink::setServiceRequests(std::shared_ptr<InterruptChannel> channel, std::string handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  srqChannel_ = std::move(channel);
  srqHandle_ = std::move(handle);
}

bool DeviceLink::abort() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!readWaiting_) return false;
  abortRequested_ = true;
  changed_.notify_all();
  return true;
}

void DeviceLink::queueReply(std::string bytes, const ReplyPlan& plan) {
  if (bytes.empty()) return;
  Reply reply;
  size_t pieceSize = replyPieceSize(bytes.size(), plan);
  Clock::time_point time = Clock::now() + std::chrono::milliseconds(plan.delayMs);
  for (size_t end = 0; end < bytes.size(); time += std::chrono::milliseconds(TcpServer::kSplitPauseMs)) {
    end = std::min(bytes.size(), end + pieceSize);
    reply.pieces.emplace_back(time, end);
  }
  reply.bytes = std::move(bytes);
  replies_.push_back(std::move(reply));
  changed_.notify_all();
}

ReadResult DeviceLink::read(const ReadRequest& request) {
  if (request.size == 0) return {kNoError, kReasonRequestCount, {}};
  std::unique_lock<std::mutex> lock(mutex_);
  // IEEE 488.2: a read with nothing to say; a reply that a fault withholds is still owed.
  if (replies_.empty() && !replyWithheld_ && !abandoned_)
    instrument_.reportExchangeError(scpi::errc::kQueryUnterminated);
  Clock::time_point deadline = Clock::now() + request.timeout;
  readWaiting_ = true;
  abortRequested_ = false;
  for (;;) {
    Clock::time_point now = Clock::now();
    std::optional<ReadResult> result;
    if (abandoned_) result = ReadResult{kIoTimeout, 0, {}};
    if (!result && abortRequested_) result = ReadResult{kAbort, 0, {}};
    if (!result) result = takeReady(request, now);
    if (!result && now >= deadline) result = ReadResult{kIoTimeout, 0, {}};
    if (result) {
      readWaiting_ = false;
      noteStatus();
      return *result;
    }
    Clock::time_point wake = std::min(deadline, nextPieceTime(now).value_or(deadline));
    changed_.wait_until(lock, wake);
  }
}

std::optional<ReadResult> DeviceLink::takeReady(const ReadRequest& request, Clock::time_point now) {
  if (replies_.empty()) return std::nullopt;
  Reply& reply = replies_.front();
  size_t available = readableEnd(reply.pieces, now) - reply.taken;
  size_t take = std::min(available, request.size);
  ReadResult result;
  if (request.termChar) {
    size_t at = reply.bytes.find(*request.termChar, reply.taken);
    if (at != std::string::npos && at < reply.taken + take) {
      take = at - reply.taken + 1;
      result.reason |= kReasonTermChar;
    }
  }
  if (take == request.size) result.reason |= kReasonRequestCount;
  if (reply.taken + take == reply.bytes.size()) result.reason |= kReasonEnd;
  // Part of a reply that is still arriving waits until the read can end.
  if (result.reason == 0 || take == 0) return std::nullopt;
  result.data = reply.bytes.substr(reply.taken, take);
  reply.taken += take;
  if (reply.taken == reply.bytes.size()) replies_.pop_front();
  return result;
}

std::optional<Clock::time_point> DeviceLink::nextPieceTime(Clock::time_point now) const {
  if (replies_.empty()) return std::nullopt;
  for (const auto& piece : replies_.front().pieces) {
    if (piece.first > now) return piece.first;
  }
  return std::nullopt;
}

void DeviceLink::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  replies_.clear();
  replyWithheld_ = false;
  assembler_.reset();
  noteStatus();
}

void DeviceLink::abandon() {
  std::lock_guard<std::mutex> lock(mutex_);
  abandoned_ = true;
  changed_.notify_all();
}

}  // namespace tevra::sim::vxi11
