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

#include "interface/q7730/instrument_interface.h"
#include "platform/com/errorinfo.h"

namespace tevra::testing {

using server::ServerOp;

// A null array in place of an array result.
struct NullArray {
  bool operator==(const NullArray&) const = default;
};
// A two-dimensional array of doubles, rows x columns.
struct Matrix {
  uint32_t rows = 0;
  uint32_t columns = 0;
  bool operator==(const Matrix&) const = default;
};

// A scripted result. Numbers take the operation's type; texts and arrays keep their own, so that a text for a
// number or texts for doubles answer with a mistyped value.
using Value = std::variant<std::monostate, int32_t, double, int16_t, std::string, std::vector<double>,
                           std::vector<std::string>, NullArray, Matrix>;

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
  // Call number n (from 1) of op fails; the calls before and after it answer value.
  void failsAtCall(ServerOp op, size_t n, platform::HRESULT hr, Value value = {});
  // Whether ISupportErrorInfo says yes for the instrument interface (default yes).
  void setSupportsErrorInfo(bool supports) { supportsErrorInfo_ = supports; }

  std::vector<RecordedCall> calls() const;
  std::vector<std::string> callNames() const;
  // Each call as "put_Frequency(f64 5180000000)", so that a wrong operation, type or value reads plainly.
  std::vector<std::string> callTexts() const;
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
