// The measurement server module, created from the registration file as the driver creates it and called
// through the driver's adapter, against the simulator on loopback.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "sim/instrument/generator_memory.h"
#include "sim/server/server_failure.h"
#include "src/server/instrument.h"
#include "src/session/server_version.h"
#include "tests/integration/server_fixture.h"

namespace tevra::test {
namespace {

using platform::E_INVALIDARG;

class ServerModuleTest : public ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    server_.create(core::kServerProgId);
    server_.put_ResourceAddress(simulator_->resource());
  }
  void TearDown() override {
    server_.reset();
    ServerFixture::TearDown();
  }

  server::Instrument server_;
};

struct Failure {
  platform::HRESULT hr;
  std::string description;
};

Failure failureOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const _com_error& error) {
    return {error.Error(), error.Description()};
  }
  return {platform::S_OK, "no failure"};
}

TEST_F(ServerModuleTest, ActivationTakesTheIoAndSuspendOrDisposeHandsItBack) {
  EXPECT_EQ(failureOf([&] { server_.get_SerialNumber(); }).hr, q7730::kNotConnected);
  EXPECT_EQ(server_.ActivateInstrument(), platform::S_OK);
  EXPECT_EQ(server_.SelfTest(), 0);
  EXPECT_EQ(session_->query(":SIMulation:IO:OWNer?"), "SERVER");
  server_.Suspend();
  EXPECT_EQ(session_->query(":SIMulation:IO:OWNer?"), "DIRECT");
  server_.ActivateInstrument();
  EXPECT_EQ(session_->query(":SIMulation:IO:OWNer?"), "SERVER") << "activation takes the I/O back";
  server_.Dispose();
  EXPECT_EQ(session_->query(":SIMulation:IO:OWNer?"), "DIRECT");
  EXPECT_EQ(failureOf([&] { server_.get_FirmwareRevision(); }).description,
            "instrument not connected (call ActivateInstrument)");
}

TEST_F(ServerModuleTest, FailuresCarryTheirHresultAndDescription) {
  server_.ActivateInstrument();
  struct Case {
    const char* what;
    std::function<void()> call;
    Failure expected;
  } cases[] = {
      {"unknown sequence",
       [&] { server_.AWG_SelectSequence("NOPE", -10.0, 2.412e9, 40000000); },
       {q7730::kInstrumentError, "Q7730 error -256: File name not found;NOPE.seq"}},
      {"trigger without a selection",
       [&] { server_.AWG_TriggerSequence(); },
       {q7730::kInstrumentError, "Q7730 error -211: Trigger ignored"}},
      {"quote in a name",
       [&] { server_.AWG_PlaySegment("a\"b", -10.0, 2.412e9, 40000000); },
       {E_INVALIDARG, "waveform name with a quote or a control character"}},
      {"null name",
       [&] { server_.AWG_SelectSequence11ag(nullptr, -10.0, 2.412e9); },
       {E_INVALIDARG, "no waveform name"}},
      {"level",
       [&] { server_.AWG_CWTone(11.0, 2.412e9); },
       {E_INVALIDARG, "output level 11 dBm out of range (-150 to 10 dBm)"}},
      {"sample clock",
       [&] { server_.AWG_SelectSequence("CW_TONE", -10.0, 2.412e9, 999); },
       {E_INVALIDARG, "sample clock 999 Hz out of range (1000 to 200000000 Hz)"}},
      {"frequency",
       [&] { server_.put_Frequency(7e9); },
       {E_INVALIDARG, "Frequency 7e+09 Hz out of range (1e+06 to 6e+09 Hz)"}},
      {"trigger style",
       [&] { server_.put_TriggerStyle(3); },
       {E_INVALIDARG, "TriggerStyle 3 is not a trigger style (0 immediate, 2 burst, 4 external)"}},
      {"queued error",
       [&] {
         control(":SIMulation:FAULt:ERRor -300,\"Device-specific error;fan\"");
         server_.AWG_Stop();
       },
       {q7730::kInstrumentError, "Q7730 error -300: Device-specific error;fan"}},
  };
  for (const auto& c : cases) {
    const Failure failure = failureOf(c.call);
    EXPECT_EQ(failure.hr, c.expected.hr) << c.what;
    EXPECT_EQ(failure.description, c.expected.description) << c.what;
  }
  EXPECT_EQ(server_.get_Frequency(), 2.412e9) << "a refused value is not held";
  EXPECT_EQ(failureOf([&] { server_.AWG_Stop(); }).hr, platform::S_OK) << "the error queue was emptied";
}

TEST_F(ServerModuleTest, SettingsHeldBeforeActivationAreSentAtItAndKeptByAPreset) {
  server_.put_Frequency(5.18e9);
  server_.put_TriggerStyle(4);
  server_.ActivateInstrument();
  server_.put_TriggerLevel(0.05);
  server_.put_FastMask11b(0);
  EXPECT_EQ(server_.get_FastMask11b(), platform::VARIANT_FALSE);
  server_.Suspend();
  EXPECT_EQ(instrumentState("SENSe:FREQuency?"), "5.180000000E+09") << "held before activation, sent at it";
  EXPECT_EQ(instrumentState("TRIGger:SOURce?"), "EXT");
  EXPECT_EQ(instrumentState("TRIGger:LEVel?"), "5.000000000E-02");

  server_.Preset();
  server_.Suspend();
  EXPECT_EQ(instrumentState("SENSe:FREQuency?"), "5.180000000E+09") << "a preset keeps the server's settings";
  EXPECT_EQ(instrumentState("SOURce:POWer?"), "-9.000000000E+01");
}

TEST_F(ServerModuleTest, PortsSegmentsAndToneComeFromTheInstrument) {
  server_.ActivateInstrument();
  server_.put_PrimaryRFPort(3);
  server_.put_ReferencePort2(1);
  server_.put_ReferencePort3(0);
  EXPECT_EQ(server_.get_PrimaryRFPort(), 3);
  EXPECT_EQ(server_.get_ReferencePort2(), platform::VARIANT_TRUE);
  EXPECT_EQ(server_.get_ReferencePort3(), platform::VARIANT_FALSE);

  server_.AWG_SelectSequence("cw_tone", -12.5, 2.437e9, 40000000);
  EXPECT_EQ(server_.AWG_SequencePlaying(), platform::VARIANT_FALSE) << "armed, not yet triggered";
  server_.Suspend();
  EXPECT_EQ(instrumentState(":SOUR:RAD:ARB:WAVE?"), "\"SEQ:cw_tone\"");
  EXPECT_EQ(instrumentState(":SOUR:POW?"), "-1.250000000E+01");
  EXPECT_EQ(instrumentState("ROUTe:PORT:PRIMary?"), "3");

  server_.AWG_PlaySegment11b("CW_TONE", -20.0, 2.462e9);
  server_.AWG_AdjustOutput(-21.0, 2.467e9);
  EXPECT_EQ(server_.AWG_SequencePlaying(), platform::VARIANT_TRUE) << "a segment plays continuously";
  server_.AWG_Stop();
  EXPECT_EQ(server_.AWG_SequencePlaying(), platform::VARIANT_FALSE);
  server_.AWG_CWTone(-30.0, 5.5e9);
  EXPECT_EQ(server_.AWG_SourceActive(), platform::VARIANT_TRUE);
  server_.Suspend();
  EXPECT_EQ(instrumentState(":SOUR:RAD:ARB:CLOC:SRAT?"), "4.400000000E+07");
  EXPECT_EQ(instrumentState(":SOUR:FREQ?"), "5.500000000E+09");
  EXPECT_EQ(instrumentState(":OUTP:MOD?"), "0");

  const int64_t freeBytes = std::stoll(instrumentState("MMEMory:FREE?"));
  EXPECT_EQ(freeBytes, static_cast<int64_t>(sim::GeneratorMemory::kCapacityBytes) - 16000 -
                           static_cast<int64_t>(readFile(storage_.path() + "/CW_TONE.seq").size()));
  EXPECT_EQ(server_.AWG_FreeSegmentSpace(), freeBytes / 4096);
}

}  // namespace
}  // namespace tevra::test
