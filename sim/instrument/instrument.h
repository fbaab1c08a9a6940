// The simulated Q7730: one engine holding the instrument's state, shared by every connection. Each program
// message runs as a whole under one lock; the front end sends the reply that process() returns.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "sim/instrument/analyzer.h"
#include "sim/instrument/command_table.h"
#include "sim/instrument/error_queue.h"
#include "sim/instrument/event_status.h"
#include "sim/instrument/fault_injection.h"
#include "sim/instrument/gated_spectrum.h"
#include "sim/instrument/generator.h"
#include "sim/instrument/generator_memory.h"
#include "sim/instrument/io_ownership.h"
#include "sim/instrument/measurement_model.h"
#include "sim/instrument/routing.h"
#include "sim/instrument/sim_clock.h"

namespace tevra::sim {

struct InstrumentConfig {
  std::filesystem::path storageDir;  // generator memory; created and seeded when needed
  std::filesystem::path profile;     // device-under-test profile of the measurement model; may be empty
};

// One client connection as the engine sees it.
struct Connection {
  uint64_t id = 0;
  FaultSet faults;
};

struct MessageOutcome {
  bool close = false;                // close the connection instead of answering
  std::optional<std::string> reply;  // the response message with its "\n"
  ReplyPlan plan;
};

// The operation condition register bits that are set while the analyzer calibrates itself and while the
// waveform player plays.
inline constexpr int kOperationCalibratingBit = 0x01;
inline constexpr int kOperationPlayingBit = 0x08;

class Instrument {
 public:
  // Throws std::runtime_error when the storage folder or the profile cannot be used.
  explicit Instrument(const InstrumentConfig& config);

  std::shared_ptr<Connection> connect();
  void disconnect(const Connection& connection);

  // Runs one program message (without its terminator) from a connection; blocks are its spooled payloads.
  MessageOutcome process(Connection& connection, std::string_view message,
                         const scpi::SpooledBlocks& blocks = {});
  // Spools the payload of a block of 1 MiB up to the largest file into the storage folder, so that a file
  // sent as a block is written while it arrives and then moved into place.
  scpi::SpoolOpener blockSpooler();
  // A message longer than the input buffer was dropped.
  void reportInputOverrun();
  // A message exchange error of the front end (-410 query interrupted, -420 query unterminated).
  void reportExchangeError(int code);
  // Runs a control message outside any connection, as the daemon does with its options; the first error
  // that the message raised, if any.
  std::optional<ErrorEntry> configure(std::string_view message);

  // For command handlers, which run under the engine's lock.
  void raise(int code, const std::string& detail);
  void reset();
  ErrorQueue& errors() { return errors_; }
  EventStatus& events() { return events_; }
  GeneratorMemory& memory() { return memory_; }
  Generator& generator() { return generator_; }
  Routing& routing() { return routing_; }
  Analyzer& analyzer() { return analyzer_; }
  MeasurementModel& measurements() { return measurements_; }
  GatedSpectrumModel& gatedSpectrum() { return gatedSpectrum_; }
  SimClock& clock() { return clock_; }
  FaultInjector& faults() { return faults_; }
  IoOwnership& io() { return io_; }
  const InstrumentConfig& config() const { return config_; }
  int operationCondition() const;
  // The status byte of a connection that holds a reply (MAV) or none, outside any program message.
  uint8_t statusByte(bool messageAvailable);

 private:
  MessageOutcome run(Connection& connection, std::string_view message,
                     const scpi::SpooledBlocks& blocks = {});
  // Runs one command; the reply of a query that succeeded.
  std::optional<std::string> runCommand(Connection& connection, const scpi::Command& command,
                                        const std::optional<ResolvedCommand>& target);

  std::mutex mutex_;
  InstrumentConfig config_;
  CommandTable table_;
  ErrorQueue errors_;
  EventStatus events_;
  SimClock clock_;
  GeneratorMemory memory_;
  Generator generator_;
  Routing routing_;
  Analyzer analyzer_;
  MeasurementModel measurements_;
  GatedSpectrumModel gatedSpectrum_;
  FaultInjector faults_;
  IoOwnership io_;
  uint64_t nextConnection_ = 1;
  std::optional<ErrorEntry>* firstRaised_ = nullptr;  // set while configure() runs
};

}  // namespace tevra::sim
