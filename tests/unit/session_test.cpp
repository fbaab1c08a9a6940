#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/com/creation.h"
#include "platform/registry/registry.h"
#include "src/core/settings.h"
#include "src/log/driver_logs.h"
#include "src/session/server_version.h"
#include "tests/support/driver_test.h"
#include "tests/support/fake_server.h"
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

class SessionTest : public test::DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    register_("Bextora.Q7730, Version=5.4.4.0, Culture=neutral");
  }
  void TearDown() override {
    Tevra_Close();
    if (cookie_ != 0) platform::CoRevokeClassObject(cookie_);
    platform::ResetRegistry();
    DriverTest::TearDown();
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
  std::vector<std::string> lines() const {
    std::vector<std::string> kept;
    for (auto& line : DriverTest::lines()) {
      if (!line.starts_with("OK, viOpenDefaultRM()")) kept.push_back(line);
    }
    return kept;
  }

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
    markTrace();
    EXPECT_EQ(checkAssemblyVersion(c.assembly), c.result) << c.assembly;
    EXPECT_EQ(lines(), c.errors) << c.assembly;
  }
}

TEST_F(SessionTest, RegistryFailuresEndInitBeforeAnythingStarts) {
  const std::string reg = dir_.file("registry.reg");
  const std::string missing = dir_.file("missing.reg");
  const std::string notRegistered = "ERR -698,L624,0x800401F3,Invalid class string, " +
                                    std::string(kServerProgId) + " is not registered in ";
  struct Case {
    std::optional<std::string> registry;  // none: the file does not exist
    int32_t result;
    std::string error;
  } cases[] = {
      {registration(""), -652,
       "ERR -652, RegQueryValueEx() failed, rc = 2,The system cannot find the file specified. (registration "
       "file " +
           reg + ")"},
      {"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CLASSES_ROOT\\" + std::string(kServerProgId) +
           "\\CLSID]\r\n@=\"" + kClsid + "\"\r\n",
       -642,
       "ERR -642, RegOpenKeyEx() failed, rc = 2,The system cannot find the file specified. (registration "
       "file " +
           reg + ")"},
      {"Windows Registry Editor Version 5.00\r\n", -698, notRegistered + reg},
      {"REGEDIT3\r\n", -698, notRegistered + reg + " (not a registration file)"},
      {std::nullopt, -698, notRegistered + missing + " (file not found)"},
  };
  for (const auto& c : cases) {
    if (c.registry) test::writeFile(reg, *c.registry);
    platform::LoadRegistryFile(c.registry ? reg : missing);
    markTrace();
    EXPECT_EQ(Tevra_Init(kNoInstrument, 0, 0, 0, 0), c.result);
    const auto traced = lines();
    ASSERT_GE(traced.size(), 3u);
    EXPECT_EQ(traced[traced.size() - 3], c.error);
    EXPECT_EQ(traced[traced.size() - 2], "> End of Init(), RetCode = " + std::to_string(c.result));
    char text[600];
    EXPECT_EQ(Tevra_GetLastErrorText(text, sizeof text), static_cast<int32_t>(c.error.size()));
    EXPECT_EQ(text, c.error);
  }
}

TEST_F(SessionTest, InitAndCloseAgainstTheFakeServer) {
  serveFake();
  settings().held.centerFrequencyMHz = 5180;
  EXPECT_EQ(Tevra_Init(kNoInstrument, 1, 0, 7, 8), 0);
  EXPECT_EQ(Tevra_Close(), 0);
  EXPECT_EQ(Tevra_Close(), 1);
  EXPECT_EQ(settings().switches.getDemodGatedPower, 1);
  const std::vector<std::string> expected = {
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
  markTrace();
  EXPECT_EQ(Tevra_Close(), -970);
  EXPECT_EQ(fake_->callNames(), (std::vector<std::string>{"AWG_Stop", "Suspend", "Dispose"}))
      << "every step is tried";
  EXPECT_EQ(lines(), (std::vector<std::string>{"> Start Close()", "ERR -970,L937,0x80004005,instrument lost",
                                               "ERR -970,L941,0x80004005,busy",
                                               "> End of Close(), RetCode = -970", "* used time: 0 ms *"}));
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

TEST_F(SessionTest, InitWithSidecarLossCompensationOffSuspendsTheServer) {
  serveFake();
  settings().switches.compensateSidecarLoss = 0;
  fake_->script(ServerOp::Suspend, {testing::Answer{platform::S_FALSE, std::nullopt, {}}});
  EXPECT_EQ(Tevra_Init(kNoInstrument, 0, 0, 0, 0), platform::S_FALSE) << "Suspend's HRESULT is the result";
  const auto traced = lines();
  const auto versions =
      std::find(traced.begin(), traced.end(), "COM DriverVersion 5.4.4.0, Q7730 FirmwareRevision A.05.03.04");
  ASSERT_GE(std::distance(versions, traced.end()), 3);
  EXPECT_EQ(*(versions + 1), "CompensateSidecarLoss disabled");
  EXPECT_EQ(*(versions + 2), "> Start initGlobal()");
  const auto names = fake_->callNames();
  EXPECT_EQ(std::vector<std::string>(names.begin() + 7, names.begin() + 10),
            (std::vector<std::string>{"get_FirmwareRevision", "Suspend", "put_PowerRange"}));
}

// The session exports that are one server call: their codes, position numbers, and what they reset.
TEST_F(SessionTest, SmallSessionExportsCallTheServerAndResetTheChangeMask) {
  struct Case {
    const char* name;
    int32_t (*call)();
    ServerOp op;
    platform::HRESULT hr;
    int32_t result;
    std::string error;
    int32_t mask;
    int32_t gatedPower;
  } cases[] = {
      {"Preset", Tevra_Preset, ServerOp::Preset, platform::S_OK, 0, "", kChangeAll, 1},
      {"Preset", Tevra_Preset, ServerOp::Preset, platform::E_FAIL, -879, "ERR -879,L863,0x80004005,refused",
       kChangeAll, 1},
      {"SelfTest", Tevra_SelfTest, ServerOp::SelfTest, platform::S_OK, 0, "", 0, 0},
      {"SelfTest", Tevra_SelfTest, ServerOp::SelfTest, platform::E_FAIL, -899,
       "ERR -899,L897,0x80004005,refused", 0, 0},
      {"Suspend", Tevra_Suspend, ServerOp::Suspend, platform::S_FALSE, 1, "", kChangeAll, 0},
      {"Suspend", Tevra_Suspend, ServerOp::Suspend, platform::E_FAIL, -5059,
       "ERR -5059,L5056,0x80004005,refused", 0, 0},
      {"ActivateInstrument", Tevra_ActivateInstrument, ServerOp::ActivateInstrument, platform::S_FALSE, 1, "",
       0, 0},
      {"ActivateInstrument", Tevra_ActivateInstrument, ServerOp::ActivateInstrument, platform::E_FAIL, -5079,
       "ERR -5079,L5077,0x80004005,refused", 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.name << " " << c.result);
    testing::ScopedFakeInstrument fake;
    fake->script(c.op, {testing::Answer{c.hr, "refused", {}}});
    settings().changeMask = 0;
    settings().switches.getDemodGatedPower = 0;
    markTrace();
    EXPECT_EQ(c.call(), c.result);
    EXPECT_EQ(fake->callNames(), std::vector<std::string>{server::serverOpName(c.op)});
    std::vector<std::string> expected = {std::string("> Start ") + c.name + "()"};
    if (!c.error.empty()) expected.push_back(c.error);
    expected.push_back("> End of " + std::string(c.name) + "(), RetCode = " + std::to_string(c.result));
    expected.push_back("* used time: 0 ms *");
    EXPECT_EQ(lines(), expected);
    EXPECT_EQ(settings().changeMask, c.mask);
    EXPECT_EQ(settings().switches.getDemodGatedPower, c.gatedPower);
  }
  int32_t block[TEVRA_STAT_BLOCK_COUNT] = {};
  Tevra_Stat_Measurement(2, block);
  EXPECT_EQ(block[2 + 3 * 1], 2) << "both presets are counted";
}

}  // namespace
}  // namespace tevra::core
