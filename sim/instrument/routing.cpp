#include "sim/instrument/routing.h"

#include <string>

#include "sim/scpi/scpi_error.h"

namespace tevra::sim {
namespace {

using scpi::ScpiError;
namespace errc = scpi::errc;

void checkReferencePort(int port) {
  if (port < 1 || port > Routing::kReferencePorts)
    throw ScpiError{errc::kHeaderSuffixOutOfRange, std::to_string(port)};
}

void checkTtlLine(int line) {
  if (line < 0 || line >= Routing::kTtlLines)
    throw ScpiError{errc::kDataOutOfRange, "TTL line " + std::to_string(line)};
}

}  // namespace

void Routing::setPrimaryPort(int port) {
  if (port < 0 || port > kMaxPrimaryPort) throw ScpiError{errc::kDataOutOfRange, {}};
  primaryPort_ = port;
}

void Routing::setReferencePort(int port, bool on) {
  checkReferencePort(port);
  referencePorts_[static_cast<size_t>(port - 1)] = on;
}

bool Routing::referencePort(int port) const {
  checkReferencePort(port);
  return referencePorts_[static_cast<size_t>(port - 1)];
}

void Routing::setTtlLine(int line, bool high) {
  checkTtlLine(line);
  ttl_[static_cast<size_t>(line)] = high;
}

bool Routing::ttlLine(int line) const {
  checkTtlLine(line);
  return ttl_[static_cast<size_t>(line)];
}

}  // namespace tevra::sim
