#include "tests/support/fake_visa.h"

#include <cstring>

#include "platform/visa/session_table.h"
#include "src/visa/visa_session.h"

namespace tevra::testing {

class FakeVisa::Session final : public platform::visa::VisaObject {
 public:
  bool isResourceManager() const override { return false; }
  ViStatus close() override { return VI_SUCCESS; }
  void closeWithManager() override {}

  ViStatus write(ViConstBuf buf, ViUInt32 cnt, ViPUInt32 retCnt) override {
    const std::string command(reinterpret_cast<const char*>(buf), cnt);
    const auto failure = writeFailures.find(command);
    protocol.push_back((failure == writeFailures.end() ? "> " : "x ") + command);
    *retCnt = failure == writeFailures.end() ? cnt : 0;
    if (failure != writeFailures.end()) return failure->second;
    if (command.find('?') != std::string::npos) queueReply(command);
    return VI_SUCCESS;
  }

  // The oldest reply with its "\n", or as much of it as fits.
  ViStatus read(ViPBuf buf, ViUInt32 cnt, ViPUInt32 retCnt) override {
    *retCnt = 0;
    if (pending.empty()) return VI_ERROR_TMO;
    std::string& reply = pending.front();
    const size_t taken = reply.size() < cnt ? reply.size() : cnt;
    std::memcpy(buf, reply.data(), taken);
    *retCnt = static_cast<ViUInt32>(taken);
    const bool whole = taken == reply.size();
    protocol.push_back("< " + reply.substr(0, whole ? taken - 1 : taken));
    if (!whole) {
      reply.erase(0, taken);
      return VI_SUCCESS_MAX_CNT;
    }
    pending.pop_front();
    return VI_SUCCESS_TERM_CHAR;
  }

  ViStatus clear() override {
    protocol.push_back("clear");
    pending.clear();
    return VI_SUCCESS;
  }

  std::map<std::string, std::deque<std::string>> script;
  std::map<std::string, ViStatus> writeFailures;
  std::deque<std::string> pending;
  std::vector<std::string> protocol;

 private:
  void queueReply(const std::string& query) {
    auto scripted = script.find(query);
    if (scripted != script.end() && !scripted->second.empty()) {
      pending.push_back(scripted->second.front() + "\n");
      if (scripted->second.size() > 1) scripted->second.pop_front();
    } else if (query == "SYST:ERR?") {
      pending.push_back("0,\"No error\"\n");
    } else if (query == "*IDN?") {
      pending.push_back("Bextora,Q7730,FAKE,1\n");
    }
  }
};

FakeVisa::FakeVisa() : session_(std::make_shared<Session>()) {
  id_ = platform::visa::SessionTable::instance().add(session_, VI_NULL);
  visa::visaState().instrument = id_;
  visa::visaState().outOfStep = false;
}

FakeVisa::~FakeVisa() {
  viClose(id_);
  visa::visaState().instrument = VI_NULL;
  visa::visaState().outOfStep = false;
}

void FakeVisa::answer(const std::string& query, std::vector<std::string> replies) {
  session_->script[query] = std::deque<std::string>(replies.begin(), replies.end());
}

void FakeVisa::failWrite(const std::string& command, ViStatus status) {
  session_->writeFailures[command] = status;
}

const std::vector<std::string>& FakeVisa::protocol() const {
  return session_->protocol;
}

}  // namespace tevra::testing
