#include "sim/server/scpi_link.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "platform/visa/definite_block.h"
#include "platform/visa/timeout_setting.h"
#include "sim/server/server_failure.h"

namespace tevra::q7730 {
namespace {

// The error queue holds at most a few tens of entries; more reads than this mean it never empties.
constexpr int kMaxErrorReads = 64;
constexpr size_t kReadChunk = 4096;
// Block replies are read in larger pieces: a 64 MiB file would take 16384 reads of 4 KiB.
constexpr size_t kBlockReadChunk = 1u << 20;
// Large enough that a piece costs little beside its bytes, small enough that reading the next overlaps
// sending this one.
constexpr size_t kBlockPiece = 1u << 20;
constexpr size_t kQuotedTextLimit = 200;

const char* statusName(ViStatus status) {
  switch (status) {
    case VI_ERROR_TMO:
      return "timeout";
    case VI_ERROR_CONN_LOST:
      return "connection lost";
    case VI_ERROR_RSRC_NFOUND:
      return "resource not found";
    case VI_ERROR_INV_RSRC_NAME:
      return "invalid resource name";
    default:
      return "VISA error";
  }
}

// A command or reply as it can be quoted in a description: bounded and without control characters.
std::string quotable(std::string_view text) {
  std::string result;
  for (char c : text.substr(0, kQuotedTextLimit)) {
    result.push_back(static_cast<unsigned char>(c) < 0x20 ? '?' : c);
  }
  if (text.size() > kQuotedTextLimit) result += "...";
  return result;
}

bool parseInteger(std::string_view text, int64_t* value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return error == std::errc{} && end == text.data() + text.size();
}

struct QueueEntry {
  int64_t number = 0;
  std::string text;
};

// `-256,"File name not found;NOPE.seq"`: the number and the text between the quotes, doubled quotes
// taken as one.
bool parseQueueEntry(std::string_view reply, QueueEntry* entry) {
  const size_t comma = reply.find(',');
  if (!parseInteger(reply.substr(0, comma), &entry->number)) return false;
  if (comma == std::string_view::npos) return true;
  std::string_view quoted = reply.substr(comma + 1);
  if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"') return false;
  quoted = quoted.substr(1, quoted.size() - 2);
  for (size_t i = 0; i < quoted.size(); ++i) {
    entry->text.push_back(quoted[i]);
    if (quoted[i] == '"' && i + 1 < quoted.size() && quoted[i + 1] == '"') ++i;
  }
  return true;
}

}  // namespace

void ScpiLink::open(const std::string& resource) {
  close();
  ViStatus status = viOpenDefaultRM(&manager_);
  if (status < VI_SUCCESS) {
    manager_ = VI_NULL;
    failf(kIoFailed, "cannot open the VISA resource manager: status 0x%08X (%s)",
          static_cast<uint32_t>(status), statusName(status));
  }
  // Replies and waits are bounded by the station's VISA timeout, so a silent instrument fails a call
  // instead of holding it.
  const ViUInt32 timeoutMs = platform::visa::configuredTimeoutMs();
  status = viOpen(manager_, resource.c_str(), VI_NO_LOCK, timeoutMs, &session_);
  if (status < VI_SUCCESS) {
    session_ = VI_NULL;
    close();
    failf(kIoFailed, "cannot connect to the Q7730 at '%s': status 0x%08X (%s)", quotable(resource).c_str(),
          static_cast<uint32_t>(status), statusName(status));
  }
  viSetAttribute(session_, VI_ATTR_TMO_VALUE, timeoutMs);
  write(":SIMulation:IO:SERVer");
}

void ScpiLink::close() {
  if (session_ != VI_NULL) viClose(session_);
  if (manager_ != VI_NULL) viClose(manager_);
  session_ = VI_NULL;
  manager_ = VI_NULL;
}

void ScpiLink::requireOpen() const {
  if (!isOpen()) fail(kNotConnected, "instrument not connected (call ActivateInstrument)");
}

void ScpiLink::failIo(const char* call, std::string_view command, ViStatus status) {
  close();
  failf(kIoFailed, "Q7730 I/O failed: %s for '%s' gave status 0x%08X (%s); the connection is closed", call,
        quotable(command).c_str(), static_cast<uint32_t>(status), statusName(status));
}

void ScpiLink::write(std::string_view command) {
  requireOpen();
  ViUInt32 written = 0;
  const ViStatus status = viWrite(session_, reinterpret_cast<ViConstBuf>(command.data()),
                                  static_cast<ViUInt32>(command.size()), &written);
  if (status < VI_SUCCESS) failIo("viWrite()", command, status);
}

std::string ScpiLink::readReply(std::string_view command, size_t maxBytes) {
  std::string reply;
  const size_t chunkBytes = maxBytes > kMaxReplyBytes ? kBlockReadChunk : kReadChunk;
  for (;;) {
    // Read straight into the reply: a block reply is too large to copy through a chunk buffer.
    const size_t at = reply.size();
    reply.resize(at + chunkBytes);
    ViUInt32 count = 0;
    const ViStatus status = viRead(session_, reinterpret_cast<ViByte*>(reply.data() + at),
                                   static_cast<ViUInt32>(chunkBytes), &count);
    reply.resize(at + (status < VI_SUCCESS ? 0 : count));
    if (status < VI_SUCCESS) failIo("viRead()", command, status);
    if (reply.size() > maxBytes) {
      close();
      failf(kIoFailed, "Q7730 reply to '%s' is longer than %zu bytes; the connection is closed",
            quotable(command).c_str(), maxBytes);
    }
    if (status != VI_SUCCESS_MAX_CNT) break;
  }
  if (!reply.empty() && reply.back() == '\n') reply.pop_back();
  return reply;
}

std::string ScpiLink::query(std::string_view command) {
  write(command);
  return readReply(command);
}

void ScpiLink::writePiece(std::string_view piece, bool end) {
  requireOpen();
  const ViStatus status = viSetAttribute(session_, VI_ATTR_SEND_END_EN, end ? VI_TRUE : VI_FALSE);
  if (status < VI_SUCCESS) failIo("viSetAttribute()", piece, status);
  write(piece);
}

bool ScpiLink::writeBlock(std::string_view command, size_t length,
                          const std::function<bool(char* piece, size_t size)>& fill) {
  if (!blockPiece_) blockPiece_ = std::make_unique_for_overwrite<char[]>(kBlockPiece);
  writePiece(std::string(command) + platform::visa::definiteBlockHeader(length), false);
  bool filled = true;
  for (size_t at = 0; at < length;) {
    const size_t size = std::min(kBlockPiece, length - at);
    if (filled && !fill(blockPiece_.get(), size)) filled = false;
    if (!filled) std::memset(blockPiece_.get(), 0, size);
    at += size;
    writePiece(std::string_view(blockPiece_.get(), size), filled && at == length);
  }
  if (length == 0) writePiece({}, true);
  if (filled) return true;
  writePiece(",0", true);
  write("*CLS");
  return false;
}

void ScpiLink::writeBlock(std::string_view command, std::string_view bytes) {
  writeBlock(command, bytes.size(), [&bytes](char* piece, size_t size) {
    std::memcpy(piece, bytes.data(), size);
    bytes.remove_prefix(size);
    return true;
  });
}

std::string ScpiLink::queryBlock(std::string_view command) {
  std::string full(command);
  full += ";*OPC?";
  write(full);
  // The block, its ';' and the "1" of *OPC?, and room for a header of nine digits.
  const std::string reply = readReply(command, kMaxBlockBytes + 16);
  if (reply == "1") {
    checkErrors();
    failf(kInstrumentError, "no block in the Q7730's reply to '%s'", quotable(command).c_str());
  }
  platform::visa::DefiniteBlock block;
  const auto status = platform::visa::parseDefiniteBlock(reply, kMaxBlockBytes, &block);
  if (status != platform::visa::BlockStatus::kWhole || block.rest != ";1") {
    close();
    failf(kIoFailed, "malformed block (%s) in the Q7730's reply to '%s'; the connection is closed",
          status == platform::visa::BlockStatus::kTruncated ? "truncated"
          : status == platform::visa::BlockStatus::kTooLong ? "too long"
                                                            : "not a block",
          quotable(command).c_str());
  }
  return std::string(block.payload);
}

int64_t ScpiLink::queryInteger(std::string_view command) {
  const std::string reply = query(command);
  int64_t value = 0;
  if (!parseInteger(reply, &value)) {
    failf(kInstrumentError, "unexpected Q7730 reply '%s' to '%s'", quotable(reply).c_str(),
          quotable(command).c_str());
  }
  return value;
}

bool ScpiLink::queryBoolean(std::string_view command) {
  const int64_t value = queryInteger(command);
  if (value != 0 && value != 1) {
    failf(kInstrumentError, "unexpected Q7730 reply '%lld' to '%s'", static_cast<long long>(value),
          quotable(command).c_str());
  }
  return value == 1;
}

namespace {

// The leading comma-separated numbers of a reply (a text field ends them).
std::vector<double> numbersOf(const std::string& reply) {
  std::vector<double> numbers;
  const char* at = reply.c_str();
  while (*at != '\0') {
    char* end = nullptr;
    const double value = std::strtod(at, &end);
    if (end == at) break;
    numbers.push_back(value);
    at = *end == ',' ? end + 1 : end;
  }
  return numbers;
}

}  // namespace

std::vector<double> ScpiLink::fetchNumbers(std::string_view command, size_t atLeast) {
  // The error count rides in the same message: a refused query has no reply, which would leave the read
  // waiting until its timeout.
  const std::string reply = query(std::string(command) + ";:SYSTem:ERRor:COUNt?");
  const size_t split = reply.rfind(';');
  if (split == std::string::npos || reply.compare(split + 1, std::string::npos, "0") != 0) checkErrors();
  std::vector<double> numbers = numbersOf(split == std::string::npos ? reply : reply.substr(0, split));
  if (split == std::string::npos || numbers.size() < atLeast) {
    failf(kInstrumentError, "unexpected Q7730 reply '%s' to '%s'", quotable(reply).c_str(),
          quotable(command).c_str());
  }
  return numbers;
}

void ScpiLink::checkErrors() {
  std::string first;
  for (int read = 0; read < kMaxErrorReads; ++read) {
    const std::string reply = query("SYST:ERR?");
    QueueEntry entry;
    if (!parseQueueEntry(reply, &entry)) {
      failf(kInstrumentError, "unexpected Q7730 error-queue reply '%s'", quotable(reply).c_str());
    }
    if (entry.number == 0) break;
    if (first.empty()) first = "Q7730 error " + std::to_string(entry.number) + ": " + quotable(entry.text);
  }
  if (!first.empty()) fail(kInstrumentError, first);
}

void ScpiLink::run(std::initializer_list<std::string_view> commands) {
  for (std::string_view command : commands) write(command);
  checkErrors();
}

void ScpiLink::suspend() {
  write(":SIMulation:IO:SUSPend");
  // A control query: it confirms the hand-over without taking the I/O back as an instrument command would.
  const std::string owner = query(":SIMulation:IO:OWNer?");
  if (owner != "DIRECT") {
    failf(kInstrumentError, "the Q7730 kept the I/O with the server (owner '%s')", quotable(owner).c_str());
  }
}

}  // namespace tevra::q7730
