// Connecting to the instrument, handing its I/O over, reset and self-test, and the identity texts.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "sim/server/q7730_server.h"
#include "sim/server/server_failure.h"

namespace tevra::q7730 {
namespace {

using platform::S_OK;

constexpr size_t kMaxResourceLength = 256;
constexpr const char* kModel = "Q7730";

std::vector<std::string> splitFields(const std::string& text) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    fields.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) return fields;
    start = comma + 1;
  }
}

}  // namespace

Q7730Server::Identity Q7730Server::identify() {
  const std::string reply = link_.query("*IDN?");
  const std::vector<std::string> fields = splitFields(reply);
  if (fields.size() != 4 || fields[1] != kModel) {
    failf(kNotAQ7730, "the instrument at '%s' is not a %s: it identifies as '%.100s'",
          resourceAddress_.c_str(), kModel, reply.c_str());
  }
  return Identity{fields[2], fields[3]};
}

const Q7730Server::Identity& Q7730Server::identity() const {
  if (!identified_ || !link_.isOpen())
    fail(kNotConnected, "instrument not connected (call ActivateInstrument)");
  return identity_;
}

HRESULT Q7730Server::ActivateInstrument() {
  if (resourceAddress_.empty()) fail(platform::E_INVALIDARG, "no resource address set");
  const bool fresh = !link_.isOpen();
  try {
    if (fresh) {
      link_.open(resourceAddress_);
      // Errors that other connections left behind belong to nobody on a new connection.
      link_.write("*CLS");
    }
    identity_ = identify();
    if (fresh) applyAnalyzerSettings();
    link_.checkErrors();
  } catch (const ServerFailure&) {
    if (fresh) link_.close();
    identified_ = false;
    throw;
  }
  identified_ = true;
  return S_OK;
}

// Without a connection the server holds no I/O, so there is nothing to hand over.
HRESULT Q7730Server::Suspend() {
  if (link_.isOpen()) link_.suspend();
  return S_OK;
}

// The I/O is handed over before the connection ends, so that the other connections have it at once; on a
// link that has already failed there is nothing to hand over.
HRESULT Q7730Server::Dispose() {
  try {
    if (link_.isOpen()) link_.suspend();
  } catch (const ServerFailure&) {
  }
  link_.close();
  identified_ = false;
  return S_OK;
}

HRESULT Q7730Server::Preset() {
  link_.write("*RST");
  applyAnalyzerSettings();
  link_.checkErrors();
  return S_OK;
}

HRESULT Q7730Server::SelfTest(int32_t* outcome) {
  const int64_t result = link_.queryInteger("*TST?");
  link_.checkErrors();
  if (result < INT32_MIN || result > INT32_MAX) {
    failf(kInstrumentError, "self-test outcome %lld out of range", static_cast<long long>(result));
  }
  *outcome = static_cast<int32_t>(result);
  return S_OK;
}

HRESULT Q7730Server::get_SerialNumber(BSTR* out) {
  return returnText(identity().serialNumber, out);
}

HRESULT Q7730Server::get_DriverVersion(BSTR* out) {
  return returnText(kServerVersion, out);
}

HRESULT Q7730Server::get_FirmwareRevision(BSTR* out) {
  return returnText(identity().firmwareRevision, out);
}

HRESULT Q7730Server::get_ResourceAddress(BSTR* out) {
  return returnText(resourceAddress_, out);
}

HRESULT Q7730Server::put_ResourceAddress(BSTR address) {
  std::string text = utf8Of(address);
  if (text.size() > kMaxResourceLength) {
    failf(platform::E_INVALIDARG, "resource address longer than %zu characters", kMaxResourceLength);
  }
  if (std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; })) {
    fail(platform::E_INVALIDARG, "resource address with a control character");
  }
  resourceAddress_ = std::move(text);
  return S_OK;
}

}  // namespace tevra::q7730
