// Which connection owns the instrument's I/O. One connection may declare itself the server connection;
// the server owns the I/O after each of its instrument commands and hands it to the other connections
// with Suspend. Instrument commands from other connections while the server owns the I/O are counted,
// not refused, so that a test can show whether a direct sequence suspended the server first.
#pragma once

#include <cstdint>
#include <optional>

namespace tevra::sim {

class IoOwnership {
 public:
  // The connection becomes the server connection and owns the I/O.
  void declareServer(uint64_t connection) {
    server_ = connection;
    serverOwns_ = true;
  }
  bool isServer(uint64_t connection) const { return server_ == connection; }
  void suspend() { serverOwns_ = false; }
  void claim() { serverOwns_ = server_.has_value(); }

  void noteInstrumentCommand(uint64_t connection) {
    if (isServer(connection)) {
      serverOwns_ = true;
    } else if (serverOwns_) {
      ++conflicts_;
    }
  }
  void connectionClosed(uint64_t connection) {
    if (!isServer(connection)) return;
    server_.reset();
    serverOwns_ = false;
  }

  bool serverOwns() const { return serverOwns_; }
  uint64_t conflicts() const { return conflicts_; }
  void resetConflicts() { conflicts_ = 0; }

 private:
  std::optional<uint64_t> server_;
  bool serverOwns_ = false;
  uint64_t conflicts_ = 0;
};

}  // namespace tevra::sim
