#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com/creation.h"
#include "platform/registry/registry.h"
#include "src/core/settings.h"
#include "src/log/driver_logs.h"
#include "src/session/server_version.h"
#include "tests/support/fake_kernel.h"
#include "tests/support/fake_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/trace_compare.h"
#include "tevra.h"

namespace tevra::core {
namespace {

using server::ServerOp;
using testing::Value;

constexpr const char* kClsid = "{5B3C0E21-7A44-4E0D-9C61-2F8D0B7A9E13}";
// Nothing listens on the discard port, so the VISA session fails at once.
constexpr const char* kNoInstrument = "TCPIP0::127.0.0.1::9::SOCKET";

std::string registration(const std::string& assembly) {
  std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CLASSES_ROOT\\";
  text += std::string(kServerProgId) + "\\CLSID]\r\n@=\"" + kClsid + "\"\r\n\r\n";
  text += std::string("[HKEY_CLASSES_ROOT\\CLSID\\") + kClsid +
          "\\InprocServer32]\r\n@=\"/nowhere/q7730server.so\"\r\n";
  if (!assembly.empty()) text += "\"Assembly\"=\"" + assembly + "\"\r\n";
  return text;
}

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    trace_ = dir_.file("trace.txt");
    log::traceLog().Open(trace_.c_str(), 0, true);
    register_("Bextora.Q7730, Version=5.4.4.0, Culture=neutral");
    resetSettings();
  }
  void TearDown() override {
    Tevra_Close();
    if (cookie_ != 0) platform::CoRevokeClassObject(cookie_);
    platform::ResetRegistry();
    log::traceLog().Close();
    resetSettings();
  }
  void register_(const std::string& assembly) {
    const std::string reg = dir_.file("registry.reg");
    test::writeFile(reg, registration(assembly));
    ASSERT_TRUE(platform::LoadRegistryFile(reg));
  }
  // Serves the fake when the driver creates the server.
  void serveFake() {
    platform::GUID clsid{};
    ASSERT_TRUE(platform::GuidFromString(kClsid, &clsid));
    fake_ = testing::FakeServer::create();
    fake_->returns(ServerOp::get_DriverVersion, std::string("5.4.4.0"));
    fake_->returns(ServerOp::get_FirmwareRevision, std::string("A.05.03.04"));
    cookie_ = platform::CoRegisterClassObject(clsid, [this](const platform::IID& iid, void** object) {
      return fake_->QueryInterface(iid, object);
    });
  }
  // The trace without the lines that depend on what VISA sessions earlier tests left open.
  std::vector<std::string> lines(uint64_t from = 0) const {
    std::vector<std::string> kept;
    for (auto& line : test::readTraceLines(trace_, from)) {
      if (!line.starts_with("OK, viOpenDefaultRM()")) kept.push_back(line);
    }
    return kept;
  }

  test::FakeKernel kernel_;
  test::TempDir dir_;
  std::string trace_;
  platform::ComPtr<testing::FakeServer> fake_;
  uint32_t cookie_ = 0;
};

TEST_F(SessionTest, AssemblyVersionsAreCheckedToTheLetter) {
  struct Case {
    const char* assembly;
    int32_t result;
    std::vector<std::string> errors;
  } cases[] = {
      {"Bextora.Q7730, Version=5.4.4.0, Culture=neutral", 0, {}},
      {"Version=5.4.4,", 0, {}},
      {"Bextora.Q7730, Version=5.4.40", -1, {"ERR -1, allowed version incorrect"}},
      {"Bextora.Q7730, Version=5.4.5.0,", -1, {"ERR -1, allowed version incorrect"}},
      {"Bextora.Q7730, Version=5.4.4",
       -693,
       {"ERR -1, allowed version incorrect", "ERR -693, 'Version=' not found"}},
      {"Bextora.Q7730, Culture=neutral", -693, {"ERR -693, 'Version=' not found"}},
      {"", -693, {"ERR -693, 'Version=' not found"}},
  };
  for (const auto& c : cases) {
    const uint64_t mark = test::traceMark(trace_);
    EXPECT_EQ(checkAssemblyVersion(c.assembly), c.result) << c.assembly;
    EXPECT_EQ(lines(mark), c.errors) << c.assembly;
  }
}

TEST_F(SessionTest, RegistryFailuresEndInitBeforeAnythingStarts) {
  struct Case {
    std::string registry;
    int32_t result;
    std::string error;
  } cases[] = {
      {registration(""), -652,
       "ERR -652, RegQueryValueEx() failed, rc = 2,The system cannot find the file specified."},
      {"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CLASSES_ROOT\\" + std::string(kServerProgId) +
           "\\CLSID]\r\n@=\"" + kClsid + "\"\r\n",
       -642, "ERR -642, RegOpenKeyEx() failed, rc = 2,The system cannot find the file specified."},
      {"Windows Registry Editor Version 5.00\r\n", -698, "ERR -698,L624,0x800401F3,Invalid class string"},
  };
  for (const auto& c : cases) {
    const std::string reg = dir_.file("registry.reg");
    test::writeFile(reg, c.registry);
    ASSERT_TRUE(platform::LoadRegistryFile(reg));
    const uint64_t mark = test::traceMark(trace_);
    EXPECT_EQ(Tevra_Init(kNoInstrument, 0, 0, 0, 0), c.result);
    const auto traced = lines(mark);
    ASSERT_GE(traced.size(), 3u);
    EXPECT_EQ(traced[traced.size() - 3], c.error);
    EXPECT_EQ(traced[traced.size() - 2], "> End of Init(), RetCode = " + std::to_string(c.result));
  }
}

TEST_F(SessionTest, InitAndCloseAgainstTheFakeServer) {
  serveFake();
  settings().held.centerFrequencyMHz = 5180;
  EXPECT_EQ(Tevra_Init(kNoInstrument, 1, 0, 7, 8), 0);
  EXPECT_EQ(Tevra_Close(), 0);
  EXPECT_EQ(Tevra_Close(), 1);
  const std::vector<std::string> expected = {
      "*** Start of Log ***",
      std::string("RegKey='") + kClsid + "'",
      "Assembly = 'Bextora.Q7730, Version=5.4.4.0, Culture=neutral'",
      "> Start Init(TCPIP0::127.0.0.1::9::SOCKET,1,0,7,8)",
      "> Start InitViSession(TCPIP0::127.0.0.1::9::SOCKET)",
      "ERR -548,Q7730 viOpen(TCPIP0::127.0.0.1::9::SOCKET) failed, rc 0xBFFF0011",
      "> End of InitViSession(), RetCode = -548",
      "* used time: 0 ms *",
      "> Start ARB_Stop(1)",
      "ERR -3993,** skip ARB_Stop() due to globallptrInstr is NULL **",
      "> End of ARB_Stop(), RetCode = -3993",
      "* used time: 0 ms *",
      "CreateInstance",
      "ActivateInstrument",
      "COM DriverVersion 5.4.4.0, Q7730 FirmwareRevision A.05.03.04",
      "> Start initGlobal()",
      "> End of initGlobal(), RetCode = 0",
      "> End of Init(), RetCode = 0",
      "* used time: 0 ms *",
      "> Start Close()",
      "AWG_Stop()",
      "Dispose()",
      "> End of Close(), RetCode = 0",
      "* used time: 0 ms *",
      "> Start Close()",
      "ERR 0,** skip Close() due to globallptrInstr is NULL **",
      "> End of Close(), RetCode = 1",
      "* used time: 0 ms *",
  };
  EXPECT_EQ(lines(), expected);
  EXPECT_EQ(
      fake_->callNames(),
      (std::vector<std::string>{
          "put_ResourceAddress", "put_InitOption1", "put_InitOption2", "put_ShowSplashScreen",
          "put_InitOption4", "ActivateInstrument", "get_DriverVersion", "get_FirmwareRevision",
          "put_PowerRange", "put_Frequency", "put_MaxPacketLength", "put_TriggerLevel", "put_TriggerStyle",
          "put_TriggerDelay", "put_TriggerHoldoff", "AWG_Stop", "Suspend", "Dispose"}));
  const auto calls = fake_->calls();
  EXPECT_EQ(calls[0].args, std::vector<Value>{std::string(kNoInstrument)});
  EXPECT_EQ(calls[1].args, std::vector<Value>{int16_t{0}}) << "flag B goes first";
  EXPECT_EQ(calls[2].args, std::vector<Value>{int16_t{1}});
  EXPECT_EQ(calls[9].args, std::vector<Value>{5180e6});
  EXPECT_EQ(calls[11].args, std::vector<Value>{0.02}) << "20 mV in V";
}

TEST_F(SessionTest, InitRefusesAnOverlongResourceAndFailsWhenTheServerRefusesAHeldSetting) {
  serveFake();
  const std::string overlong = "TCPIP0::" + std::string(100, 'h') + "::5025::SOCKET;x";
  EXPECT_EQ(Tevra_Init(overlong.c_str(), 0, 0, 0, 0), -838);
  EXPECT_TRUE(fake_->calls().empty()) << "nothing started with a cut resource";
  fake_->fails(ServerOp::put_MaxPacketLength, platform::E_INVALIDARG, "MaxPacketLength out of range");
  EXPECT_EQ(Tevra_Init(kNoInstrument, 0, 0, 0, 0), -599);
  EXPECT_EQ(fake_->callNames().back(), "put_MaxPacketLength") << "the settings after it are not sent";
  const auto traced = lines();
  EXPECT_NE(std::find(traced.begin(), traced.end(), "ERR -838,resource field longer than 99 characters"),
            traced.end());
}

TEST_F(SessionTest, ServerErrorsAfterCreationLeaveTheSessionOpenUntilClose) {
  serveFake();
  settings().switches.compensateSidecarLoss = 0;
  fake_->fails(ServerOp::ActivateInstrument, platform::E_FAIL, "instrument not answering");
  EXPECT_EQ(Tevra_Init(kNoInstrument, 0, 0, 0, 0), -838);
  EXPECT_EQ(Tevra_GetCOMLastError(), platform::E_FAIL);
  const auto traced = lines();
  EXPECT_NE(std::find(traced.begin(), traced.end(), "ERR -838,L811,0x80004005,instrument not answering"),
            traced.end());
  fake_->clearCalls();
  fake_->fails(ServerOp::AWG_Stop, platform::E_FAIL, "instrument lost");
  fake_->fails(ServerOp::Dispose, platform::E_FAIL, "busy");
  const uint64_t mark = test::traceMark(trace_);
  EXPECT_EQ(Tevra_Close(), -970);
  EXPECT_EQ(fake_->callNames(), (std::vector<std::string>{"AWG_Stop", "Suspend", "Dispose"}))
      << "every step is tried";
  EXPECT_EQ(lines(mark),
            (std::vector<std::string>{"> Start Close()", "ERR -970,L937,0x80004005,instrument lost",
                                      "ERR -970,L941,0x80004005,busy", "> End of Close(), RetCode = -970",
                                      "* used time: 0 ms *"}));
  EXPECT_EQ(Tevra_Close(), 1) << "the failing Close released the session all the same";
}

TEST_F(SessionTest, IdentityTextsAreCopiedWithinTheirBound) {
  testing::ScopedFakeInstrument fake;
  fake->returns(ServerOp::get_SerialNumber, std::string(500, 'S'));
  fake->returns(ServerOp::get_FirmwareRevision, std::string("A.05.03.04"));
  char buffer[TEVRA_IDENTITY_TEXT_SIZE + 8];
  std::fill(std::begin(buffer), std::end(buffer), '#');
  EXPECT_EQ(Tevra_SerialNumber(buffer), 0);
  EXPECT_EQ(std::string(buffer), std::string(TEVRA_IDENTITY_TEXT_SIZE - 1, 'S'));
  EXPECT_EQ(buffer[TEVRA_IDENTITY_TEXT_SIZE], '#') << "nothing written past the bound";
  EXPECT_EQ(Tevra_FirmwareRevision(buffer), 0);
  EXPECT_STREQ(buffer, "A.05.03.04");
  EXPECT_EQ(Tevra_DriverVersion(nullptr), -1937);
  EXPECT_EQ(Tevra_SetForegroundWindow(0x1234), 0x1234);
}

}  // namespace
}  // namespace tevra::core
