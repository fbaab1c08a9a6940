// A simulator on a loopback port with the built measurement server module registered, for the tests that
// reach the instrument through the server.
#pragma once

#include <string>

#include "platform/registry/registry.h"
#include "src/core/settings.h"
#include "tests/integration/sim_session.h"
#include "tevra.h"

namespace tevra::test {

class ServerFixture : public SimFixture {
 protected:
  void SetUp() override {
    SimFixture::SetUp();
    ASSERT_TRUE(platform::LoadRegistryFile(TEVRA_TEST_REGISTRY)) << TEVRA_TEST_REGISTRY;
  }
  void TearDown() override {
    platform::ResetRegistry();
    SimFixture::TearDown();
  }

  // A control command of the simulator, run before the next call of the server or the driver.
  void control(const std::string& command) {
    ASSERT_EQ(session_->write(command), VI_SUCCESS) << command;
    session_->query(":SIMulation:IO:OWNer?");
  }
  // Instrument commands from the test's own session that arrived while the server owned the I/O.
  std::string conflicts() { return session_->query(":SIMulation:IO:CONFlicts?"); }
  // The instrument's state as the test's session reads it; the server must have handed the I/O over.
  std::string instrumentState(const std::string& query) {
    EXPECT_EQ(session_->query(":SIMulation:IO:OWNer?"), "DIRECT") << query;
    return session_->query(query);
  }
};

// A driver session opened on the simulator through the server, with the driver's settings at their defaults.
class OpenSessionFixture : public ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    core::resetSettings();
    ASSERT_EQ(Tevra_Init(simulator_->resource().c_str(), 0, 0, 0, 0), 0);
  }
  void TearDown() override {
    Tevra_Close();
    ServerFixture::TearDown();
  }
};

}  // namespace tevra::test
