#include "sim/instrument/instrument.h"

#include <exception>
#include <vector>

#include "sim/scpi/scpi_error.h"
#include "sim/scpi/scpi_parser.h"

namespace tevra::sim {

Instrument::Instrument(const InstrumentConfig& config)
    : config_(config), memory_(config.storageDir), generator_(memory_, clock_) {
  if (!config.profile.empty()) measurements_.loadProfile(config.profile);
}

std::shared_ptr<Connection> Instrument::connect() {
  std::lock_guard<std::mutex> lock(mutex_);
  auto connection = std::make_shared<Connection>();
  connection->id = nextConnection_++;
  return connection;
}

void Instrument::disconnect(const Connection& connection) {
  std::lock_guard<std::mutex> lock(mutex_);
  io_.connectionClosed(connection.id);
}

MessageOutcome Instrument::process(Connection& connection, std::string_view message,
                                   const scpi::SpooledBlocks& blocks) {
  std::lock_guard<std::mutex> lock(mutex_);
  return run(connection, message, blocks);
}

scpi::SpoolOpener Instrument::blockSpooler() {
  constexpr uint64_t kSmallestSpooled = uint64_t{1} << 20;
  // The folder is fixed for the memory's life; volumes are its subfolders, on the same file system.
  return [folder = memory_.folder()](uint64_t length) -> std::shared_ptr<scpi::BlockSpool> {
    if (length < kSmallestSpooled || length > GeneratorMemory::kMaxFileSize) return nullptr;
    return scpi::BlockSpool::create(folder);
  };
}

void Instrument::reportInputOverrun() {
  std::lock_guard<std::mutex> lock(mutex_);
  raise(scpi::errc::kInputBufferOverrun, {});
}

void Instrument::reportExchangeError(int code) {
  std::lock_guard<std::mutex> lock(mutex_);
  raise(code, {});
}

std::optional<ErrorEntry> Instrument::configure(std::string_view message) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::optional<ErrorEntry> first;
  firstRaised_ = &first;
  Connection none;
  run(none, message);
  firstRaised_ = nullptr;
  return first;
}

void Instrument::raise(int code, const std::string& detail) {
  errors_.push(code, detail);
  events_.recordError(code);
  if (firstRaised_ != nullptr && !*firstRaised_) {
    *firstRaised_ = ErrorEntry{code, errorText(code, detail)};
  }
}

void Instrument::reset() {
  generator_.reset();
  analyzer_.reset();
  gatedSpectrum_.reset();
}

uint8_t Instrument::statusByte(bool messageAvailable) {
  std::lock_guard<std::mutex> lock(mutex_);
  return events_.statusByte(errors_.size() > 0, messageAvailable);
}

int Instrument::operationCondition() const {
  return (generator_.playing() ? kOperationPlayingBit : 0) |
         (measurements_.calibrating(clock_.now()) ? kOperationCalibratingBit : 0);
}

namespace {

// The response message: the replies of a message's queries joined by ';', with the terminator.
std::string joinReplies(const std::vector<std::string>& replies) {
  std::string reply;
  for (size_t i = 0; i < replies.size(); ++i) {
    if (i > 0) reply.push_back(';');
    reply += replies[i];
  }
  reply.push_back('\n');
  return reply;
}

bool isInstrumentCommand(const std::optional<ResolvedCommand>& target) {
  return !target || !target->entry->control;
}

}  // namespace

std::optional<std::string> Instrument::runCommand(Connection& connection, const scpi::Command& command,
                                                  const std::optional<ResolvedCommand>& target) {
  if (isInstrumentCommand(target)) io_.noteInstrumentCommand(connection.id);
  const CommandEntry* entry = target ? target->entry : nullptr;
  if (entry == nullptr || !(command.query ? bool(entry->query) : bool(entry->set))) {
    raise(scpi::errc::kUndefinedHeader, command.headerText);
    return std::nullopt;
  }
  CommandContext context(*this, connection, command, target->suffixes);
  try {
    if (command.query) return entry->query(context);
    entry->set(context);
  } catch (const scpi::ScpiError& error) {
    raise(error.code, error.detail);
  } catch (const std::exception& error) {
    raise(scpi::errc::kExecutionError, error.what());
  }
  return std::nullopt;
}

MessageOutcome Instrument::run(Connection& connection, std::string_view message,
                               const scpi::SpooledBlocks& blocks) {
  scpi::ParsedMessage parsed = scpi::parseMessage(message, blocks);
  std::vector<std::optional<ResolvedCommand>> targets;
  std::vector<scpi::Mnemonic> path;
  bool instrumentMessage = parsed.error.has_value();
  for (const auto& command : parsed.commands) {
    targets.push_back(table_.resolve(command, &path));
    instrumentMessage = instrumentMessage || isInstrumentCommand(targets.back());
  }

  MessageOutcome outcome;
  if (instrumentMessage && faults_.takeClose(connection.faults)) {
    outcome.close = true;
    return outcome;
  }
  std::vector<std::string> replies;
  for (size_t i = 0; i < parsed.commands.size(); ++i) {
    if (auto reply = runCommand(connection, parsed.commands[i], targets[i]))
      replies.push_back(std::move(*reply));
  }
  if (parsed.error) raise(parsed.error->code, parsed.error->detail);

  if (replies.empty()) return outcome;
  outcome.reply = joinReplies(replies);
  if (instrumentMessage) outcome.plan = faults_.planReply(connection.faults);
  return outcome;
}

}  // namespace tevra::sim
