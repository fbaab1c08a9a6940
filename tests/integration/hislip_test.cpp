// The same exchanges over SOCKET and HiSLIP (TCPIP::127.0.0.1::hislip0,<port>::INSTR) against the
// simulator, and what HiSLIP adds: device clear on its own channel, the status byte with MAV, locks.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/integration/sim_session.h"

namespace tevra::test {
namespace {

class HislipTest : public SimFixture {
 protected:
  void SetUp() override {
    SimFixture::SetUp();
    if (HasFatalFailure()) return;
    simulator_->startHislip(0);
    hislip_ = openHislip();
  }
  void TearDown() override {
    hislip_.reset();
    SimFixture::TearDown();
  }
  std::unique_ptr<SimSession> openHislip() {
    return std::make_unique<SimSession>(manager_, simulator_->hislipResource());
  }

  std::unique_ptr<SimSession> hislip_;
};

TEST_F(HislipTest, EveryResourceKindAnswersTheSameExchanges) {
  for (SimSession* session : {session_.get(), hislip_.get()}) expectTheCommonExchanges(*session);
}

TEST_F(HislipTest, TheStatusByteShowsAReplyUntilItIsRead) {
  ViUInt16 stb = 0xFFFF;
  ASSERT_EQ(hislip_->write("*CLS;*IDN?"), VI_SUCCESS);
  ASSERT_EQ(viReadSTB(hislip_->vi(), &stb), VI_SUCCESS);
  EXPECT_EQ(stb, 0x10);
  EXPECT_EQ(hislip_->read().status, VI_SUCCESS_TERM_CHAR);
  ASSERT_EQ(viReadSTB(hislip_->vi(), &stb), VI_SUCCESS);
  EXPECT_EQ(stb, 0x00);
  // A device clear drops a reply not yet read, and MAV with it.
  ASSERT_EQ(hislip_->write("*IDN?"), VI_SUCCESS);
  EXPECT_EQ(viClear(hislip_->vi()), VI_SUCCESS);
  ASSERT_EQ(viReadSTB(hislip_->vi(), &stb), VI_SUCCESS);
  EXPECT_EQ(stb, 0x00);
  EXPECT_EQ(hislip_->query("*OPC?"), "1");
  EXPECT_EQ(viAssertTrigger(hislip_->vi(), VI_TRIG_PROT_DEFAULT), VI_SUCCESS);
  EXPECT_EQ(hislip_->query("SYST:ERR:COUN?"), "0");
}

TEST_F(HislipTest, InterruptedQueriesAreReported) {
  expectExchangeErrors(*hislip_, false);
}

TEST_F(HislipTest, ServiceRequestsArriveAsyncOnlyOverHislip) {
  expectServiceRequests(*hislip_);
  EXPECT_EQ(viEnableEvent(session_->vi(), VI_EVENT_SERVICE_REQ, VI_QUEUE, VI_NULL), VI_ERROR_INV_EVENT);
  EXPECT_EQ(viTerminate(hislip_->vi(), VI_NULL, VI_NULL), VI_ERROR_NSUP_OPER);
}

TEST_F(HislipTest, OverlappedModeQueuesRepliesInOrder) {
  sim::hislip::HislipServer server(simulator_->instrument());
  server.setOverlapped(true);
  std::string error;
  ASSERT_TRUE(server.start(0, &error)) << error;
  SimSession overlapped(manager_, "TCPIP0::127.0.0.1::hislip0," + std::to_string(server.port()) + "::INSTR");
  expectTheCommonExchanges(overlapped);
  ASSERT_EQ(overlapped.write("*CLS;*IDN?"), VI_SUCCESS);
  ASSERT_EQ(overlapped.write("*OPC?"), VI_SUCCESS);
  ViUInt16 stb = 0;
  EXPECT_EQ(viReadSTB(overlapped.vi(), &stb), VI_SUCCESS);
  EXPECT_EQ(stb, 0x10);
  EXPECT_EQ(overlapped.read().data, "Bextora,Q7730,SIM7730-0042,3.12.0-sim\n");
  EXPECT_EQ(overlapped.read().data, "1\n");
  EXPECT_EQ(viReadSTB(overlapped.vi(), &stb), VI_SUCCESS);
  EXPECT_EQ(stb, 0x00);
  EXPECT_EQ(overlapped.query("SYST:ERR?"), "0,\"No error\"");
  expectServiceRequests(overlapped);
}

TEST_F(HislipTest, LocksAreExclusiveAndWrongNamesAreNotFound) {
  auto other = openHislip();
  EXPECT_EQ(viLock(hislip_->vi(), VI_EXCLUSIVE_LOCK, 0, nullptr, nullptr), VI_SUCCESS);
  EXPECT_EQ(viLock(other->vi(), VI_EXCLUSIVE_LOCK, 100, nullptr, nullptr), VI_ERROR_TMO);
  EXPECT_EQ(viUnlock(hislip_->vi()), VI_SUCCESS);
  EXPECT_EQ(viUnlock(hislip_->vi()), VI_ERROR_SESN_NLOCKED);
  EXPECT_EQ(viLock(other->vi(), VI_EXCLUSIVE_LOCK, 100, nullptr, nullptr), VI_SUCCESS);
  other.reset();
  EXPECT_EQ(viLock(hislip_->vi(), VI_EXCLUSIVE_LOCK, 100, nullptr, nullptr), VI_SUCCESS);

  std::string wrong = "TCPIP0::127.0.0.1::hislip7," + std::to_string(simulator_->hislipPort()) + "::INSTR";
  ViSession vi = VI_NULL;
  EXPECT_EQ(viOpen(manager_, wrong.c_str(), VI_NO_LOCK, 0, &vi), VI_ERROR_RSRC_NFOUND);
}

}  // namespace
}  // namespace tevra::test
