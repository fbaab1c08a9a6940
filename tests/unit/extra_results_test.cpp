#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "src/core/error_state.h"
#include "src/measure/last_results.h"
#include "tests/support/driver_test.h"
#include "tests/support/fake_server.h"
#include "tevra.h"

namespace tevra::measure {
namespace {

using server::ServerOp;
using testing::FakeServer;
using testing::Matrix;
using Lines = std::vector<std::string>;

constexpr platform::HRESULT kRefused = platform::hr(0x80040303u);

class ExtraResultsTest : public test::DriverTest {};

TEST_F(ExtraResultsTest, ByNameFromTheStoreTheServerAndArrays) {
  struct Case {
    const char* name;
    std::function<void(FakeServer&)> setUp;
    int32_t result;
    std::vector<double> values;  // the first ones of Value afterwards
    Lines trace;                 // empty: only the result and values are compared
  } cases[] = {
      {"eVm_iqoffset_DB",
       [](FakeServer&) { lastResults().iqOffsetDb = 3.5; },
       1,
       {3.5, 7},
       {"> Start GetExtraMeasureResult(eVm_iqoffset_DB)",
        "> End of GetExtraMeasureResult(eVm_iqoffset_DB,3.5), RetCode = 1"}},
      {"EVM_BitRate_Mbps", [](FakeServer&) {}, 1, {0, 7}, {}},
      {"EVM_ModulationFormat", [](FakeServer&) { lastResults().modulationFormat = 13; }, 1, {99, 7}, {}},
      {"EVM_ModulationFormat", [](FakeServer&) { lastResults().modulationFormat = -1; }, 1, {99, 7}, {}},
      {"EVM_ModulationFormat", [](FakeServer&) { lastResults().modulationFormat = 12; }, 1, {12, 7}, {}},
      {"EVM_BurstGood", [](FakeServer&) { lastResults().burstGood = -1; }, 1, {-1, 7}, {}},
      {"EVM_11n_MCS", [](FakeServer&) { lastResults().mcs = 15; }, 1, {15, 7}, {}},
      {"No_Such_Result",
       [](FakeServer&) {},
       0,
       {7, 7},
       {"> Start GetExtraMeasureResult(No_Such_Result)",
        "> End of GetExtraMeasureResult(No_Such_Result,7), RetCode = 0"}},
      {"EVM_OFDM_IQQuadErr",
       [](FakeServer& f) { f.returns(ServerOp::get_IEEE80211a_Demod_IQQuadErr, 2.5); },
       1,
       {2.5, 7},
       {}},
      {"EVM_11n_Ch4_BurstPower",
       [](FakeServer& f) { f.fails(ServerOp::get_IEEE80211n_Demod_Ch4_BurstPower, kRefused, "none"); },
       -6938,
       {7, 7},
       {"> Start GetExtraMeasureResult(EVM_11n_Ch4_BurstPower)", "ERR -6938,L6903,0x80040303,none",
        "> End of GetExtraMeasureResult(EVM_11n_Ch4_BurstPower,7), RetCode = -6938"}},
      {"GatedSpectrum_Powers",
       [](FakeServer& f) { f.returns(ServerOp::get_GatedSpectrum_Powers, std::vector<double>(401, -50.0)); },
       401,
       {-50, -50},
       {}},
      {"GatedSpectrum_Frequencies",
       [](FakeServer& f) {
         f.returns(ServerOp::get_GatedSpectrum_Frequencies, std::vector<double>(4097, 1.0));
       },
       -6938,
       {7, 7},
       {"> Start GetExtraMeasureResult(GatedSpectrum_Frequencies)",
        "ERR -6938,GatedSpectrum_Frequencies has 4097 values, the bound is 4096",
        "> End of GetExtraMeasureResult(GatedSpectrum_Frequencies,7), RetCode = -6938"}},
      {"GatedSpectrum_Frequencies",
       [](FakeServer& f) {
         f.returns(ServerOp::get_GatedSpectrum_Frequencies, Matrix{2, 3});
       },
       -6938,
       {7, 7},
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    resetLastResults();
    core::setComLastError(5);
    markTrace();
    testing::ScopedFakeInstrument fake;
    c.setUp(fake.fake());
    std::vector<double> value(4097, 7.0);
    EXPECT_EQ(Tevra_GetExtraMeasureResult(c.name, value.data()), c.result);
    EXPECT_EQ(std::vector<double>(value.begin(), value.begin() + 2), c.values);
    if (c.result == 401) {
      EXPECT_EQ(value[400], -50.0);
      EXPECT_EQ(value[401], 7.0);
    }
    if (!c.trace.empty()) {
      EXPECT_EQ(lines(), c.trace);
    }
    // The COM last error is not reset by this function.
    if (c.result >= 0) {
      EXPECT_EQ(core::comLastError(), 5);
    }
  }
}

TEST_F(ExtraResultsTest, EmptyNameHandsOutTheNameListAndNullValueFails) {
  double value[2] = {7, 7};
  EXPECT_EQ(Tevra_GetExtraMeasureResult("", value), 0);
  const char* const* names = nullptr;
  std::memcpy(&names, value, sizeof names);
  size_t count = 0;
  while (names[count] != nullptr) ++count;
  EXPECT_EQ(count, 28u);
  EXPECT_STREQ(names[0], "EVM_BurstGood");
  EXPECT_STREQ(names[27], "EVM_11n_Ch4_IQQuadErr");
  char end[64];
  std::snprintf(end, sizeof end, "> End of GetExtraMeasureResult(0x%016" PRIXPTR ")",
                reinterpret_cast<uintptr_t>(names));
  EXPECT_EQ(lines(), (Lines{"> Start GetExtraMeasureResult()", end}));
  EXPECT_EQ(Tevra_GetExtraMeasureResult("EVM_BurstGood", nullptr), -6938);
}

}  // namespace
}  // namespace tevra::measure
