// A simulator on a loopback port with VISA sessions to it, for the loopback tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/visa/visa.h"
#include "sim/net/simulator.h"
#include "tests/support/temp_dir.h"

namespace tevra::test {

struct ReadResult {
  ViStatus status = VI_SUCCESS;
  std::string data;
};

// One VISA instrument session to the simulator.
class SimSession {
 public:
  SimSession(ViSession manager, const std::string& resource);
  ~SimSession();
  SimSession(const SimSession&) = delete;
  SimSession& operator=(const SimSession&) = delete;

  ViSession vi() const { return vi_; }
  ViStatus write(const std::string& text);
  ReadResult read(size_t count = 65536);
  // Writes a query and returns its reply without the terminator; fails the test on a bad status.
  std::string query(const std::string& text);
  void setTimeout(ViUInt32 ms);

 private:
  ViSession vi_ = VI_NULL;
};

// The exchanges, errors and timeouts that every resource kind answers alike (queries, an instrument error,
// a block with newlines inside, a missing and a delayed reply, reads ending on the count and at the end, a
// device clear of a partly read reply), checked on session.
void expectTheCommonExchanges(SimSession& session);
void expectMessagesInPieces(SimSession& session);

// IEEE 488.2 message exchange errors: a query interrupted by the next message before its reply was read
// gives -410 and only the new reply arrives; a read with nothing to say gives -420 where the transport
// tells the device of reads (VXI-11), else just its timeout.
void expectExchangeErrors(SimSession& session, bool devicesSeeReads);

// Service requests that *ESE/*SRE enable arrive within the wait's timeout (*OPC through ESB, a reply through
// MAV), none when *SRE does not enable them (VI_ERROR_TMO), and the event calls answer as VISA's do.
void expectServiceRequests(SimSession& session);

// The exclusive lock between two sessions to one device: nested locks, another session's write refused and
// its lock timing out while it is held, the last unlock giving it back. Ends with other holding it.
void expectExclusiveLock(SimSession& holder, SimSession& other);

// A simulator on a loopback port and one session to it; the driver-wide state is reset before and after.
class SimFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A further session to the running simulator.
  std::unique_ptr<SimSession> openSession();
  // Stops the simulator and starts a new one on the same storage folder.
  void restartSimulator();
  void startSimulator();

  TempDir storage_;
  std::unique_ptr<sim::Simulator> simulator_;
  ViSession manager_ = VI_NULL;
  std::unique_ptr<SimSession> session_;
};

}  // namespace tevra::test
