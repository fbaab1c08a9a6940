// The VISA layer's VXI-11 sessions (TCPIP::127.0.0.1::inst0::INSTR) against the
// simulator's core channel, found through the machine's portmapper. rpcbind is started here when it does
// not run yet; without it (no binary, not root, no registration) the tests are skipped.
#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "sim/vxi11/portmapper.h"
#include "tests/integration/sim_session.h"

extern char** environ;

// libtirpc keeps small allocations of the portmapper look-ups behind the simulator's registration; they
// are not ours to free. (Their frames cannot be unwound by name, so the library is named.)
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libtirpc.so\n";
}

namespace tevra::test {
namespace {

constexpr const char* kIdentity = "Bextora,Q7730,SIM7730-0042,3.12.0-sim";
constexpr const char* kRpcbindPaths[] = {"/usr/sbin/rpcbind", "/sbin/rpcbind"};
// rpcbind forks into the background once it listens; it gets this long to answer.
constexpr int kPortmapperStartPolls = 50;
constexpr int kPortmapperPollMs = 100;

// A machine has one registration of the core channel, so the tests that make one take turns, in this
// process and in every other (of any user: the lock file is opened for reading).
class PortmapperTurn {
 public:
  PortmapperTurn() : fd_(::open("/tmp/tevra-vxi11-portmapper.lock", O_RDONLY | O_CREAT | O_CLOEXEC, 0644)) {
    if (fd_ >= 0) ::flock(fd_, LOCK_EX);
  }
  ~PortmapperTurn() {
    if (fd_ >= 0) ::close(fd_);
  }
  PortmapperTurn(const PortmapperTurn&) = delete;
  PortmapperTurn& operator=(const PortmapperTurn&) = delete;

 private:
  int fd_;
};

const char* findRpcbind() {
  for (const char* path : kRpcbindPaths) {
    if (::access(path, X_OK) == 0) return path;
  }
  return nullptr;
}

void runRpcbind(const char* path, const char* option) {
  char* argv[] = {const_cast<char*>(path), const_cast<char*>(option), nullptr};
  pid_t pid = 0;
  if (::posix_spawn(&pid, path, nullptr, nullptr, argv, environ) != 0) return;
  int status = 0;
  ::waitpid(pid, &status, 0);
}

bool portmapperComesUp() {
  for (int i = 0; i < kPortmapperStartPolls; ++i) {
    if (sim::vxi11::portmapperAnswers(kPortmapperPollMs)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(kPortmapperPollMs));
  }
  return false;
}

// A portmapper answering on 127.0.0.1, started here when none runs; otherwise the reason why there is none.
bool ensurePortmapper(std::string* why) {
  if (sim::vxi11::portmapperAnswers(1000)) return true;
  const char* rpcbind = findRpcbind();
  if (rpcbind == nullptr) {
    *why = "no portmapper runs and there is no rpcbind binary (Debian package rpcbind)";
    return false;
  }
  if (::geteuid() != 0) {
    *why = "no portmapper runs and starting rpcbind needs root";
    return false;
  }
  // A warm start keeps the registrations of an earlier run; a cold one is the fallback.
  for (const char* option : {"-w", static_cast<const char*>(nullptr)}) {
    runRpcbind(rpcbind, option);
    if (portmapperComesUp()) return true;
  }
  *why = std::string(rpcbind) + " was started but no portmapper answers on 127.0.0.1:111";
  return false;
}

class Vxi11Test : public SimFixture {
 protected:
  void SetUp() override {
    turn_ = std::make_unique<PortmapperTurn>();
    std::string why;
    if (!ensurePortmapper(&why)) GTEST_SKIP() << why;
    SimFixture::SetUp();
    if (HasFatalFailure()) return;
    if (!simulator_->startVxi11(0, &why))
      GTEST_SKIP() << "the VXI-11 core channel cannot be registered with the portmapper: " << why;
    instr_ = openInstr();
  }

  void TearDown() override {
    instr_.reset();
    SimFixture::TearDown();
    turn_.reset();
  }

  std::unique_ptr<SimSession> openInstr() {
    return std::make_unique<SimSession>(manager_, sim::Simulator::vxi11Resource());
  }

  std::unique_ptr<PortmapperTurn> turn_;
  std::unique_ptr<SimSession> instr_;
};

TEST_F(Vxi11Test, QueriesAndTheErrorQueueGoOverTheLink) {
  using namespace std::string_literals;
  std::string bytes = "\n\n;\"#\0\xff\n\n"s;
  struct Case {
    std::string command;
    std::string query;
    std::string reply;
  } cases[] = {
      {"", "*IDN?", kIdentity},
      {"", "*IDN?;*OPC?", std::string(kIdentity) + ";1"},
      {"*CLS\nFOO:BAR", "SYST:ERR?", "-113,\"Undefined header;FOO:BAR\""},
      {"MMEM:DATA \"blob.bin\",#19" + bytes, "MMEM:DATA? \"BLOB.BIN\"", "#19" + bytes},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command + c.query);
    if (!c.command.empty()) {
      ASSERT_EQ(instr_->write(c.command), VI_SUCCESS);
    }
    EXPECT_EQ(instr_->query(c.query), c.reply);
  }
}

TEST_F(Vxi11Test, TheCommonExchangesGoAsOverEveryKind) {
  expectTheCommonExchanges(*instr_);
}

TEST_F(Vxi11Test, ReadsEndAtTheCountTheTerminatorOrTheEnd) {
  ASSERT_EQ(instr_->write("*IDN?"), VI_SUCCESS);
  ReadResult head = instr_->read(8);
  EXPECT_EQ(head.status, VI_SUCCESS_MAX_CNT);
  EXPECT_EQ(head.data, "Bextora,");
  ReadResult rest = instr_->read();
  EXPECT_EQ(rest.status, VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(head.data + rest.data, std::string(kIdentity) + "\n");

  ASSERT_EQ(viSetAttribute(instr_->vi(), VI_ATTR_TERMCHAR_EN, VI_FALSE), VI_SUCCESS);
  ASSERT_EQ(instr_->write("*OPC?"), VI_SUCCESS);
  ReadResult untermed = instr_->read();
  EXPECT_EQ(untermed.status, VI_SUCCESS);
  EXPECT_EQ(untermed.data, "1\n");
}

TEST_F(Vxi11Test, FaultedRepliesTimeOutOrArriveWhole) {
  struct Case {
    const char* fault;
    ViUInt32 timeoutMs;
    ViStatus status;
    std::string data;
  } cases[] = {
      {":SIMulation:FAULt:MISSing", 300, VI_ERROR_TMO, ""},
      {":SIMulation:FAULt:DELay 100", 5000, VI_SUCCESS_TERM_CHAR, std::string(kIdentity) + "\n"},
      {":SIMulation:FAULt:SPLit 7", 5000, VI_SUCCESS_TERM_CHAR, std::string(kIdentity) + "\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    instr_->setTimeout(c.timeoutMs);
    ASSERT_EQ(instr_->write(c.fault), VI_SUCCESS);
    ASSERT_EQ(instr_->write("*IDN?"), VI_SUCCESS);
    ReadResult reply = instr_->read();
    EXPECT_EQ(reply.status, c.status);
    EXPECT_EQ(reply.data, c.data);
    EXPECT_EQ(instr_->query("*OPC?"), "1");
  }
}

TEST_F(Vxi11Test, ClearDropsRepliesNotYetRead) {
  ASSERT_EQ(instr_->write("*IDN?"), VI_SUCCESS);
  ASSERT_EQ(instr_->write("*OPC?"), VI_SUCCESS);
  EXPECT_EQ(viClear(instr_->vi()), VI_SUCCESS);
  EXPECT_EQ(instr_->query("SYST:ERR?"), "-410,\"Query INTERRUPTED\"");

  ASSERT_EQ(instr_->write("*IDN?"), VI_SUCCESS);
  EXPECT_EQ(instr_->read(5).status, VI_SUCCESS_MAX_CNT);
  EXPECT_EQ(viClear(instr_->vi()), VI_SUCCESS);
  EXPECT_EQ(instr_->query("*OPC?"), "1");
}

TEST_F(Vxi11Test, InterruptedAndUnterminatedQueriesAreReported) {
  expectExchangeErrors(*instr_, true);
}

TEST_F(Vxi11Test, ServiceRequestsComeOverTheInterruptChannel) {
  expectServiceRequests(*instr_);
}

TEST_F(Vxi11Test, AWaitingReadIsAbortedByTerminateAndByClear) {
  instr_->setTimeout(20000);
  EXPECT_EQ(viTerminate(instr_->vi(), 1, VI_NULL), VI_ERROR_INV_DEGREE);
  for (bool byClear : {false, true}) {
    SCOPED_TRACE(byClear);
    std::atomic<bool> done{false};
    ReadResult result;
    std::thread reader([&] {
      result = instr_->read();
      done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    if (byClear) {
      EXPECT_EQ(viClear(instr_->vi()), VI_SUCCESS);
    }
    // An abort that comes before the device waits has nothing to end, so it is sent again.
    while (!byClear && !done) {
      EXPECT_EQ(viTerminate(instr_->vi(), VI_NULL, VI_NULL), VI_SUCCESS);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    reader.join();
    EXPECT_EQ(result.status, VI_ERROR_ABORT);
  }
  EXPECT_EQ(viTerminate(session_->vi(), VI_NULL, VI_NULL), VI_ERROR_NSUP_OPER);
  EXPECT_EQ(instr_->query("SYST:ERR:ALL?"), "-420,\"Query UNTERMINATED\",-420,\"Query UNTERMINATED\"");
}

TEST_F(Vxi11Test, AClosedLinkIsLostAndTheOtherConnectionsGoOn) {
  ASSERT_EQ(instr_->write(":SIMulation:FAULt:CLOSe"), VI_SUCCESS);
  ASSERT_EQ(instr_->write("*IDN?"), VI_SUCCESS);
  EXPECT_EQ(instr_->read().status, VI_ERROR_CONN_LOST);
  // A write on the dead connection fails with a status; its SIGPIPE never reaches the process.
  EXPECT_EQ(instr_->write("*IDN?"), VI_ERROR_CONN_LOST);
  EXPECT_EQ(instr_->write("*IDN?"), VI_ERROR_CONN_LOST);
  EXPECT_EQ(session_->query("*IDN?"), kIdentity);
  EXPECT_EQ(openInstr()->query("*IDN?"), kIdentity);
}

TEST_F(Vxi11Test, EachLinkIsAConnectionOfItsOwn) {
  auto second = openInstr();
  ASSERT_EQ(instr_->write(":SIMulation:FAULt:MISSing INF"), VI_SUCCESS);
  EXPECT_EQ(second->query("*IDN?"), kIdentity);
  EXPECT_EQ(session_->query("*IDN?"), kIdentity);

  ASSERT_EQ(session_->query(":SIMulation:IO:SERVer;*OPC?"), "1");
  EXPECT_EQ(second->query(":SIMulation:IO:SERVer?;*OPC?"), "0;1");
  EXPECT_EQ(session_->query(":SIMulation:IO:CONFlicts?"), "1");
}

TEST_F(Vxi11Test, TheStatusByteShowsTheWaitingReplyAndTheErrorQueue) {
  struct Case {
    const char* command;
    ViUInt16 instr;   // over device_readstb
    ViUInt16 socket;  // over "*STB?": its own reply is not yet waiting
  } cases[] = {
      {"*CLS", 0x00, 0x00},
      {"*IDN?", 0x10, 0x00},
      {"FOO:BAR", 0x04, 0x04},
      {"*ESE 32;*SRE 4;*OPC", 0x64, 0x64},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    ASSERT_EQ(instr_->write(c.command), VI_SUCCESS);
    ViUInt16 stb = 0xFFFF;
    EXPECT_EQ(viReadSTB(instr_->vi(), &stb), VI_SUCCESS);
    EXPECT_EQ(stb, c.instr);
    ASSERT_EQ(viClear(instr_->vi()), VI_SUCCESS);
    EXPECT_EQ(viReadSTB(session_->vi(), &stb), VI_SUCCESS);
    EXPECT_EQ(stb, c.socket);
  }
  ASSERT_EQ(instr_->write("*CLS"), VI_SUCCESS);
  EXPECT_EQ(viReadSTB(instr_->vi(), nullptr), VI_ERROR_USER_BUF);
  for (ViSession vi : {instr_->vi(), session_->vi()}) {
    EXPECT_EQ(viAssertTrigger(vi, VI_TRIG_PROT_DEFAULT), VI_SUCCESS);
    EXPECT_EQ(viAssertTrigger(vi, 5), VI_ERROR_INV_PROT);
  }
  EXPECT_EQ(instr_->query("SYST:ERR:COUN?"), "0");
}

TEST_F(Vxi11Test, ALockedDeviceRefusesTheOtherLinks) {
  auto other = openInstr();
  expectExclusiveLock(*instr_, *other);
  // The holder's link goes, and its lock with it.
  other.reset();
  EXPECT_EQ(instr_->query("*OPC?"), "1");
}

TEST_F(Vxi11Test, AWrongDeviceNameIsNotFoundAndAnInfiniteTimeoutWaits) {
  ViSession vi = VI_NULL;
  EXPECT_EQ(viOpen(manager_, "TCPIP::127.0.0.1::hislip0::INSTR", VI_NO_LOCK, 0, &vi), VI_ERROR_RSRC_NFOUND);
  EXPECT_EQ(vi, static_cast<ViSession>(VI_NULL));
  instr_->setTimeout(VI_TMO_INFINITE);
  ASSERT_EQ(instr_->write(":SIMulation:FAULt:DELay 300"), VI_SUCCESS);
  EXPECT_EQ(instr_->query("*IDN?"), kIdentity);
}

TEST_F(Vxi11Test, WithoutARegisteredServerTheResourceIsNotFound) {
  instr_.reset();
  simulator_->stop();
  ViSession vi = VI_NULL;
  EXPECT_EQ(viOpen(manager_, sim::Simulator::vxi11Resource().c_str(), VI_NO_LOCK, 0, &vi),
            VI_ERROR_RSRC_NFOUND);
  EXPECT_EQ(vi, static_cast<ViSession>(VI_NULL));
}

}  // namespace
}  // namespace tevra::test
