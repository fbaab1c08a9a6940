#include "tests/integration/sim_session.h"

#include <string>
#include <string_view>
#include <vector>

#include "tests/support/driver_test.h"

namespace tevra::test {

SimSession::SimSession(ViSession manager, const std::string& resource) {
  EXPECT_EQ(viOpen(manager, resource.c_str(), VI_NO_LOCK, 0, &vi_), VI_SUCCESS) << resource;
}

SimSession::~SimSession() {
  if (vi_ != VI_NULL) viClose(vi_);
}

ViStatus SimSession::write(const std::string& text) {
  ViUInt32 count = 0;
  ViStatus status =
      viWrite(vi_, reinterpret_cast<ViConstBuf>(text.data()), static_cast<ViUInt32>(text.size()), &count);
  if (status >= 0) {
    EXPECT_EQ(count, text.size()) << text;
  }
  return status;
}

ReadResult SimSession::read(size_t count) {
  std::vector<ViByte> buffer(count);
  ViUInt32 received = 0;
  ReadResult result;
  result.status = viRead(vi_, buffer.data(), static_cast<ViUInt32>(count), &received);
  result.data.assign(reinterpret_cast<const char*>(buffer.data()), received);
  return result;
}

std::string SimSession::query(const std::string& text) {
  EXPECT_EQ(write(text), VI_SUCCESS) << text;
  ReadResult reply = read();
  EXPECT_EQ(reply.status, VI_SUCCESS_TERM_CHAR) << text;
  if (!reply.data.empty() && reply.data.back() == '\n') reply.data.pop_back();
  return reply.data;
}

void SimSession::setTimeout(ViUInt32 ms) {
  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_TMO_VALUE, ms), VI_SUCCESS);
}

void SimFixture::SetUp() {
  resetDriverState();
  simulator_ =
      std::make_unique<sim::Simulator>(sim::InstrumentConfig{.storageDir = storage_.path(), .profile = {}});
  simulator_->start();
  ASSERT_EQ(viOpenDefaultRM(&manager_), VI_SUCCESS);
  session_ = openSession();
}

void SimFixture::TearDown() {
  resetDriverState();
  session_.reset();
  if (manager_ != VI_NULL) viClose(manager_);
  if (simulator_) simulator_->stop();
}

std::unique_ptr<SimSession> SimFixture::openSession() {
  return std::make_unique<SimSession>(manager_, simulator_->resource());
}

void SimFixture::restartSimulator() {
  session_.reset();
  simulator_->stop();
  simulator_.reset();
  simulator_ =
      std::make_unique<sim::Simulator>(sim::InstrumentConfig{.storageDir = storage_.path(), .profile = {}});
  simulator_->start();
  session_ = openSession();
}

// The exchanges, errors and timeouts that every resource kind answers alike, on a session of any kind.
void expectTheCommonExchanges(SimSession& session) {
  const std::string identity = "Bextora,Q7730,SIM7730-0042,3.12.0-sim";
  using namespace std::string_literals;
  std::string block = "#15a\n;\0b"s;
  struct Case {
    std::string command;
    std::string query;
    ViUInt32 timeoutMs;
    ViStatus status;
    std::string reply;
  } cases[] = {
      {"", "*IDN?", 2000, VI_SUCCESS_TERM_CHAR, identity + "\n"},
      {"*CLS;FOO:BAR", "SYST:ERR?", 2000, VI_SUCCESS_TERM_CHAR, "-113,\"Undefined header;FOO:BAR\"\n"},
      {"MMEM:DATA \"b.bin\"," + block, "MMEM:DATA? \"B.BIN\"", 2000, VI_SUCCESS_TERM_CHAR, block + "\n"},
      {":SIMulation:FAULt:MISSing", "*IDN?", 200, VI_ERROR_TMO, ""},
      {":SIMulation:FAULt:DELay 50", "*OPC?", 2000, VI_SUCCESS_TERM_CHAR, "1\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command + c.query);
    session.setTimeout(c.timeoutMs);
    if (!c.command.empty()) {
      ASSERT_EQ(session.write(c.command), VI_SUCCESS);
    }
    ASSERT_EQ(session.write(c.query), VI_SUCCESS);
    ReadResult reply = session.read();
    EXPECT_EQ(reply.status, c.status);
    EXPECT_EQ(reply.data, c.reply);
  }
  // A read that ends on the count, then on the reply's end.
  ASSERT_EQ(session.write("*IDN?"), VI_SUCCESS);
  EXPECT_EQ(session.read(7).status, VI_SUCCESS_MAX_CNT);
  EXPECT_EQ(session.read().data, identity.substr(7) + "\n");
  // A device clear drops the rest of a reply partly read (which has therefore arrived).
  ASSERT_EQ(session.write("*IDN?"), VI_SUCCESS);
  EXPECT_EQ(session.read(3).status, VI_SUCCESS_MAX_CNT);
  EXPECT_EQ(viClear(session.vi()), VI_SUCCESS);
  EXPECT_EQ(session.query("*OPC?"), "1");
  expectMessagesInPieces(session);
}

// Writes without END leave the message open for the next (VI_ATTR_SEND_END_EN): a file of a megabyte and
// more, which the simulator stores while it arrives, lands whole; a sequence file's contents are still
// checked, and a command that takes no block refuses it.
void expectMessagesInPieces(SimSession& session) {
  std::string file(3u << 19, '\0');
  for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<char>(i % 251);
  const std::string block = "#7" + std::to_string(file.size()) + file;
  ViSession vi = session.vi();
  ViBoolean end = VI_FALSE;
  EXPECT_EQ(viGetAttribute(vi, VI_ATTR_SEND_END_EN, &end), VI_SUCCESS);
  EXPECT_EQ(end, VI_TRUE);
  const struct {
    std::vector<std::string> pieces;
    std::string error;
  } cases[] = {
      {{"MMEM:DATA \"big.wf1\",", block.substr(0, 1000), block.substr(1000, 599000), block.substr(600000)},
       "0,\"No error\""},
      {{"MMEM:DATA \"big.seq\",", block}, "-224,\"Illegal parameter value;not a sequence file\""},
      {{"*RST ", block}, "-108,\"Parameter not allowed;*RST\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pieces.front());
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_SEND_END_EN, VI_FALSE), VI_SUCCESS);
    for (size_t i = 0; i + 1 < c.pieces.size(); ++i) ASSERT_EQ(session.write(c.pieces[i]), VI_SUCCESS);
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_SEND_END_EN, VI_TRUE), VI_SUCCESS);
    ASSERT_EQ(session.write(c.pieces.back()), VI_SUCCESS);
    EXPECT_EQ(session.query("SYST:ERR?"), c.error);
  }
  ASSERT_EQ(session.write("MMEM:DATA? \"big.wf1\""), VI_SUCCESS);
  EXPECT_TRUE(session.read(block.size() + 1).data == block + "\n") << "the file read back";
  ASSERT_EQ(session.write("MMEM:DEL \"big.wf1\""), VI_SUCCESS);
}

void expectExchangeErrors(SimSession& session, bool devicesSeeReads) {
  session.setTimeout(100);
  ASSERT_EQ(session.write("*CLS;*IDN?"), VI_SUCCESS);
  EXPECT_EQ(session.query("*OPC?"), "1");
  EXPECT_EQ(session.query("SYST:ERR?"), "-410,\"Query INTERRUPTED\"");
  EXPECT_EQ(session.read().status, VI_ERROR_TMO);
  EXPECT_EQ(session.query("SYST:ERR:ALL?"),
            devicesSeeReads ? "-420,\"Query UNTERMINATED\"" : "0,\"No error\"");
}

void expectServiceRequests(SimSession& session) {
  ViSession vi = session.vi();
  ViEventType type = 0;
  EXPECT_EQ(viWaitOnEvent(vi, VI_EVENT_SERVICE_REQ, 0, &type, nullptr), VI_ERROR_NENABLED);
  EXPECT_EQ(viEnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_HNDLR, VI_NULL), VI_ERROR_NSUP_MECH);
  ASSERT_EQ(viEnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE, VI_NULL), VI_SUCCESS);
  EXPECT_EQ(viEnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE, VI_NULL), VI_SUCCESS_EVENT_EN);
  struct Case {
    const char* setup;    // after *CLS: the summary is down
    const char* trigger;  // raises it, or not
    ViUInt32 timeoutMs;
    ViStatus status;
  } cases[] = {
      {"*ESE 1;*SRE 0", "*OPC", 300, VI_ERROR_TMO},
      {"*ESE 1;*SRE 32", "*OPC", 2000, VI_SUCCESS},
      {"*ESE 0;*SRE 16", "*IDN?", 2000, VI_SUCCESS},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setup);
    ASSERT_EQ(session.write(std::string("*CLS;") + c.setup), VI_SUCCESS);
    ASSERT_EQ(session.write(c.trigger), VI_SUCCESS);
    ViEvent context = VI_NULL;
    EXPECT_EQ(viWaitOnEvent(vi, VI_EVENT_SERVICE_REQ, c.timeoutMs, &type, &context), c.status);
    if (c.status == VI_SUCCESS) {
      ViEventType contextType = 0;
      EXPECT_EQ(viGetAttribute(context, VI_ATTR_EVENT_TYPE, &contextType), VI_SUCCESS);
      EXPECT_EQ(contextType, VI_EVENT_SERVICE_REQ);
      EXPECT_EQ(viClose(context), VI_SUCCESS);
    }
    if (std::string_view(c.trigger).ends_with('?')) {
      EXPECT_EQ(session.read().status, VI_SUCCESS_TERM_CHAR);
    }
  }
  EXPECT_EQ(viDiscardEvents(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE), VI_SUCCESS_QUEUE_EMPTY);
  EXPECT_EQ(viDisableEvent(vi, VI_ALL_ENABLED_EVENTS, VI_ALL_MECH), VI_SUCCESS);
  EXPECT_EQ(viDisableEvent(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE), VI_SUCCESS_EVENT_DIS);
  EXPECT_EQ(viWaitOnEvent(vi, VI_ALL_ENABLED_EVENTS, 0, &type, nullptr), VI_ERROR_NENABLED);
  EXPECT_EQ(session.query("*SRE 0;*ESE 0;SYST:ERR:COUN?"), "0");
}

void expectExclusiveLock(SimSession& holder, SimSession& other) {
  ViChar key[256] = "x";
  struct Step {
    ViSession vi;
    int call;  // 0 lock, 1 unlock, 2 write
    ViStatus status;
  } steps[] = {
      {holder.vi(), 0, VI_SUCCESS},          {holder.vi(), 0, VI_SUCCESS_NESTED_EXCLUSIVE},
      {other.vi(), 2, VI_ERROR_RSRC_LOCKED}, {other.vi(), 0, VI_ERROR_TMO},
      {holder.vi(), 2, VI_SUCCESS},          {holder.vi(), 1, VI_SUCCESS},
      {other.vi(), 2, VI_ERROR_RSRC_LOCKED}, {holder.vi(), 1, VI_SUCCESS},
      {other.vi(), 2, VI_SUCCESS},           {holder.vi(), 1, VI_ERROR_SESN_NLOCKED},
      {other.vi(), 0, VI_SUCCESS},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    SCOPED_TRACE(i);
    const Step& s = steps[i];
    ViStatus status = s.call == 0   ? viLock(s.vi, VI_EXCLUSIVE_LOCK, 200, nullptr, key)
                      : s.call == 1 ? viUnlock(s.vi)
                                    : viWrite(s.vi, reinterpret_cast<const ViByte*>("*CLS"), 4, nullptr);
    EXPECT_EQ(status, s.status);
  }
  EXPECT_STREQ(key, "");
  EXPECT_EQ(viLock(holder.vi(), VI_SHARED_LOCK, 0, nullptr, nullptr), VI_ERROR_INV_LOCK_TYPE);
}

}  // namespace tevra::test
