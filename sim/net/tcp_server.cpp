#include "sim/net/tcp_server.h"

#include <sys/socket.h>

#include <cerrno>

#include "sim/net/reply_pieces.h"
#include "sim/scpi/message_assembler.h"

namespace tevra::sim {
namespace {

constexpr size_t kReceiveChunk = size_t{64} * 1024;

}  // namespace

void TcpServer::serve(int fd) {
  auto connection = instrument_.connect();
  MessageAssembler assembler(
      kMaxMessageSize,
      [&](const std::string& message, const scpi::SpooledBlocks& blocks) {
        return handleMessage(fd, *connection, message, blocks);
      },
      [this] { instrument_.reportInputOverrun(); });
  assembler.spoolBlocksWith(instrument_.blockSpooler());
  std::string chunk(kReceiveChunk, '\0');
  bool open = true;
  while (open) {
    // A spooled block's payload goes from the socket straight into its file.
    long spooled = assembler.receivePayload(fd);
    if (spooled < 0 && errno == ENOENT) {
      ssize_t n = ::recv(fd, chunk.data(), chunk.size(), 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      open = assembler.feed(chunk.data(), static_cast<size_t>(n));
    } else if (spooled == 0 || (spooled < 0 && errno != EINTR)) {
      break;
    }
  }
  instrument_.disconnect(*connection);
}

bool TcpServer::handleMessage(int fd, Connection& connection, const std::string& message,
                              const scpi::SpooledBlocks& blocks) {
  MessageOutcome outcome = instrument_.process(connection, message, blocks);
  if (outcome.close) return false;
  if (!outcome.reply || !outcome.plan.send) return true;
  if (outcome.plan.delayMs > 0 && !listener_.pause(outcome.plan.delayMs)) return false;
  return sendReply(fd, *outcome.reply, outcome.plan);
}

bool TcpServer::sendReply(int fd, const std::string& reply, const ReplyPlan& plan) {
  size_t pieceSize = replyPieceSize(reply.size(), plan);
  for (size_t at = 0; at < reply.size(); at += pieceSize) {
    if (at > 0 && !listener_.pause(kSplitPauseMs)) return false;
    size_t size = reply.size() - at < pieceSize ? reply.size() - at : pieceSize;
    if (!sendAll(fd, reply.data() + at, size)) return false;
  }
  return true;
}

}  // namespace tevra::sim
