#include <gtest/gtest.h>

#include "src/log/driver_logs.h"
#include "tests/support/fake_kernel.h"
#include "tests/support/fake_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/trace_compare.h"
#include "tevra.h"

namespace tevra::visa {
namespace {

using server::ServerOp;
using testing::Value;

class RfPortsTest : public ::testing::Test {
 protected:
  void SetUp() override { log::traceLog().Open(dir_.file("trace.txt").c_str(), 0, true); }
  void TearDown() override { log::traceLog().Close(); }
  test::FakeKernel kernel_;
  test::TempDir dir_;
};

TEST_F(RfPortsTest, PrimaryPortOutsideZeroToFourIsRefusedWithoutAServerCall) {
  testing::ScopedFakeInstrument fake;
  for (int32_t port : {5, -1, 100}) EXPECT_EQ(Tevra_SetPrimaryRFPort(port), 0) << port;
  EXPECT_TRUE(fake->calls().empty());
  EXPECT_EQ(Tevra_SetPrimaryRFPort(4), 1);
  EXPECT_EQ(fake->calls().at(0).args, std::vector<Value>{int32_t{4}});

  int32_t port = 99;
  fake->returns(ServerOp::get_PrimaryRFPort, int32_t{7});
  EXPECT_EQ(Tevra_GetPrimaryRFPort(&port), 0);
  EXPECT_EQ(port, 99);
  fake->returns(ServerOp::get_PrimaryRFPort, int32_t{2});
  EXPECT_EQ(Tevra_GetPrimaryRFPort(&port), 1);
  EXPECT_EQ(port, 2);
  EXPECT_EQ(Tevra_GetPrimaryRFPort(nullptr), -8746);
}

TEST_F(RfPortsTest, ReferencePortMasksMapToTheFourFlags) {
  testing::ScopedFakeInstrument fake;
  EXPECT_EQ(Tevra_SetReferencePorts(0xFA), 1);
  const auto calls = fake->calls();
  ASSERT_EQ(calls.size(), 4u);
  const int16_t expected[] = {0, 1, 0, 1};
  for (size_t i = 0; i < 4; ++i)
    EXPECT_EQ(calls[i].args, std::vector<Value>{expected[i]}) << "port " << i + 1;
  fake->returns(ServerOp::get_ReferencePort2, int16_t{-1});
  fake->returns(ServerOp::get_ReferencePort4, int16_t{1});
  EXPECT_EQ(Tevra_GetReferencePorts(), 10);
}

TEST_F(RfPortsTest, PortFunctionsWithoutASessionFailWithTheirCodes) {
  int32_t port = 0;
  EXPECT_EQ(Tevra_SetPrimaryRFPort(1), -8656);
  EXPECT_EQ(Tevra_GetPrimaryRFPort(&port), -8746);
  EXPECT_EQ(Tevra_SetReferencePorts(1), -8680);
  EXPECT_EQ(Tevra_GetReferencePorts(), -8705);
  EXPECT_EQ(Tevra_TTL_Output(1), -7435);
}

}  // namespace
}  // namespace tevra::visa
