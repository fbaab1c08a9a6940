#include "tests/support/fake_server.h"

#include <cstdio>

#include "src/server/instrument.h"

namespace tevra::testing {
namespace {

using platform::VARIANT;

Value recordValue(const VARIANT& v) {
  switch (v.vt) {
    case platform::VT_I4:
      return v.lVal;
    case platform::VT_R8:
      return v.dblVal;
    case platform::VT_BOOL:
      return static_cast<int16_t>(v.boolVal);
    case platform::VT_BSTR:
      return platform::Utf16ToUtf8(
          {v.bstrVal == nullptr ? u"" : v.bstrVal, platform::SysStringLen(v.bstrVal)});
    case platform::VT_ARRAY | platform::VT_R8: {
      std::vector<double> values;
      platform::SafeArrayToDoubles(v.parray, &values);
      return values;
    }
    case platform::VT_ARRAY | platform::VT_BSTR: {
      std::vector<std::string> values;
      platform::SafeArrayToStrings(v.parray, &values);
      return values;
    }
    default:
      return std::monostate{};
  }
}

double asNumber(const Value& value) {
  if (const auto* i = std::get_if<int32_t>(&value)) return *i;
  if (const auto* d = std::get_if<double>(&value)) return *d;
  if (const auto* b = std::get_if<int16_t>(&value)) return *b;
  return 0.0;
}

void packArray(const Value& value, VARIANT* result) {
  platform::SafeArrayPtr array;
  if (const auto* values = std::get_if<std::vector<double>>(&value)) {
    array = platform::SafeArrayFromDoubles(*values);
  } else if (const auto* texts = std::get_if<std::vector<std::string>>(&value)) {
    array = platform::SafeArrayFromStrings(*texts);
  } else if (const auto* matrix = std::get_if<Matrix>(&value)) {
    const platform::SAFEARRAYBOUND bounds[] = {{matrix->rows, 0}, {matrix->columns, 0}};
    array.reset(platform::SafeArrayCreate(platform::VT_R8, 2, bounds));
  }
  result->vt = platform::VT_ARRAY | (array ? array->vt : platform::VT_R8);
  result->parray = array.release();
}

// Packs a scripted value as the operation's result type; texts and arrays keep their own type.
void packResult(platform::VARTYPE vt, const Value& value, VARIANT* result) {
  if ((vt & platform::VT_ARRAY) != 0 || std::holds_alternative<std::vector<double>>(value) ||
      std::holds_alternative<std::vector<std::string>>(value) || std::holds_alternative<NullArray>(value) ||
      std::holds_alternative<Matrix>(value)) {
    return packArray(value, result);
  }
  if (const auto* text = std::get_if<std::string>(&value)) {
    result->vt = platform::VT_BSTR;
    result->bstrVal = platform::Bstr(text->c_str()).detach();
    return;
  }
  result->vt = vt;
  switch (vt) {
    case platform::VT_I4:
      result->lVal = static_cast<int32_t>(asNumber(value));
      break;
    case platform::VT_R8:
      result->dblVal = asNumber(value);
      break;
    case platform::VT_BOOL:
      result->boolVal = static_cast<int16_t>(asNumber(value));
      break;
    case platform::VT_BSTR:
      result->bstrVal = nullptr;
      break;
    default:
      result->vt = platform::VT_EMPTY;
      break;
  }
}

}  // namespace

platform::ComPtr<FakeServer> FakeServer::create() {
  return platform::ComPtr<FakeServer>::attach(new FakeServer());
}

void FakeServer::script(ServerOp op, std::vector<Answer> answers) {
  std::lock_guard<std::mutex> lock(mutex_);
  script_[op] = std::deque<Answer>(answers.begin(), answers.end());
}

void FakeServer::failsAtCall(ServerOp op, size_t n, platform::HRESULT hr, Value value) {
  const Answer ok{platform::S_OK, std::nullopt, value};
  std::vector<Answer> answers(n > 0 ? n - 1 : 0, ok);
  answers.push_back(Answer{hr, std::nullopt, {}});
  answers.push_back(ok);
  script(op, std::move(answers));
}

std::vector<RecordedCall> FakeServer::calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

std::vector<std::string> FakeServer::callNames() const {
  std::vector<std::string> names;
  for (const auto& call : calls()) names.emplace_back(server::serverOpName(call.op));
  return names;
}

std::vector<std::string> FakeServer::callTexts() const {
  std::vector<std::string> texts;
  for (const auto& call : calls()) {
    std::string text = std::string(server::serverOpName(call.op)) + "(";
    for (const auto& arg : call.args) {
      char number[64] = "?";
      if (const auto* i = std::get_if<int32_t>(&arg)) std::snprintf(number, sizeof number, "i32 %d", *i);
      if (const auto* b = std::get_if<int16_t>(&arg)) std::snprintf(number, sizeof number, "i16 %d", *b);
      if (const auto* d = std::get_if<double>(&arg)) std::snprintf(number, sizeof number, "f64 %.12g", *d);
      text += number;
    }
    texts.push_back(text + ")");
  }
  return texts;
}

void FakeServer::clearCalls() {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.clear();
}

Answer FakeServer::nextAnswer(ServerOp op) {
  auto it = script_.find(op);
  if (it == script_.end() || it->second.empty()) return Answer{};
  Answer answer = it->second.front();
  if (it->second.size() > 1) it->second.pop_front();
  return answer;
}

platform::HRESULT FakeServer::Invoke(ServerOp op, uint32_t count, const VARIANT* args, VARIANT* result) {
  Answer answer;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    RecordedCall call{op, {}};
    for (uint32_t i = 0; i < count && args != nullptr; ++i) call.args.push_back(recordValue(args[i]));
    calls_.push_back(std::move(call));
    answer = nextAnswer(op);
  }
  if (count != server::serverOpArity(op)) return platform::DISP_E_BADPARAMCOUNT;
  if (platform::FAILED(answer.hr)) {
    platform::SetErrorInfo(
        0, answer.description
               ? platform::CreateErrorInfo(*answer.description, "FakeServer", server::IInstrument::iid).get()
               : nullptr);
    return answer.hr;
  }
  if (result != nullptr) packResult(server::serverOpResultType(op), answer.value, result);
  return answer.hr;
}

platform::HRESULT FakeServer::InterfaceSupportsErrorInfo(const platform::IID& wanted) {
  return supportsErrorInfo_ && wanted == server::IInstrument::iid ? platform::S_OK : platform::S_FALSE;
}

ScopedFakeInstrument::ScopedFakeInstrument() : fake_(FakeServer::create()) {
  server::instrument().attach(platform::ComPtr<server::IInstrument>::share(fake_.get()));
}

ScopedFakeInstrument::~ScopedFakeInstrument() {
  server::instrument().reset();
}

}  // namespace tevra::testing
