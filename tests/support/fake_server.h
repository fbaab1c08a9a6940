// A scripted stand-in for the measurement server: records every call with its arguments in order and
// answers from a script (values, HRESULTs with or without a description, sequences such as busy flags).
#pragma once

#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/com/errorinfo.h"
#include "interface/q7730/instrument_interface.h"

namespace tevra::testing {

using server::ServerOp;
using Value = std::variant<std::monostate, int32_t, double, int16_t, std::string, std::vector<double>,
                           std::vector<std::string>>;

struct RecordedCall {
  ServerOp op;
  std::vector<Value> args;
};

struct Answer {
  platform::HRESULT hr = platform::S_OK;
  std::optional<std::string> description;  // left as the thread's error information when the call fails
  Value value;                             // the result; monostate gives the type's zero
};

class FakeServer final : public platform::ComObject<server::IInstrument, platform::ISupportErrorInfo> {
 public:
  static platform::ComPtr<FakeServer> create();

  // Queues answers for an operation: each call takes the next, and the last one repeats.
  void script(ServerOp op, std::vector<Answer> answers);
  void returns(ServerOp op, Value value) {
    script(op, {Answer{platform::S_OK, std::nullopt, std::move(value)}});
  }
  void fails(ServerOp op, platform::HRESULT hr, std::optional<std::string> description = std::nullopt) {
    script(op, {Answer{hr, std::move(description), {}}});
  }
  // Whether ISupportErrorInfo says yes for the instrument interface (default yes).
  void setSupportsErrorInfo(bool supports) { supportsErrorInfo_ = supports; }

  std::vector<RecordedCall> calls() const;
  std::vector<std::string> callNames() const;
  void clearCalls();

  platform::HRESULT Invoke(ServerOp op, uint32_t count, const platform::VARIANT* args,
                           platform::VARIANT* result) override;
  platform::HRESULT InterfaceSupportsErrorInfo(const platform::IID& iid) override;

 private:
  FakeServer() = default;
  Answer nextAnswer(ServerOp op);

  mutable std::mutex mutex_;
  std::vector<RecordedCall> calls_;
  std::map<ServerOp, std::deque<Answer>> script_;
  bool supportsErrorInfo_ = true;
};

// Makes a fake the driver's instrument interface while it lives; the driver's interface is null afterwards.
class ScopedFakeInstrument {
 public:
  ScopedFakeInstrument();
  ~ScopedFakeInstrument();
  ScopedFakeInstrument(const ScopedFakeInstrument&) = delete;
  ScopedFakeInstrument& operator=(const ScopedFakeInstrument&) = delete;
  FakeServer& fake() { return *fake_.get(); }
  FakeServer* operator->() { return fake_.get(); }

 private:
  platform::ComPtr<FakeServer> fake_;
};

}  // namespace tevra::testing
