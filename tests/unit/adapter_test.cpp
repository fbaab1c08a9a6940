#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com/com_error.h"
#include "src/server/instrument.h"
#include "tests/support/fake_server.h"

namespace tevra::server {
namespace {

using platform::HRESULT;
using testing::Matrix;
using testing::NullArray;

constexpr HRESULT kRefused = platform::hr(0x80040303u);

TEST(AdapterTest, TryCallReturnsTheHresultAndValueWithoutRaising) {
  struct Case {
    const char* what;
    testing::Value scripted;
    HRESULT failure;
    HRESULT hr;
    double value;
  } cases[] = {
      {"value", 3.5, platform::S_OK, platform::S_OK, 3.5},
      {"refused", 3.5, kRefused, kRefused, 0.0},
      {"a text for a double", std::string("3.5"), platform::S_OK, platform::DISP_E_TYPEMISMATCH, 0.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testing::ScopedFakeInstrument fake;
    if (c.failure != platform::S_OK) {
      fake->fails(ServerOp::get_AveragePower_Result, c.failure);
    } else {
      fake->returns(ServerOp::get_AveragePower_Result, c.scripted);
    }
    const auto outcome = at(77).try_get_AveragePower_Result();
    EXPECT_EQ(outcome.hr, c.hr);
    EXPECT_EQ(outcome.value, c.value);
    EXPECT_EQ(position(), 77);
    if (c.hr != platform::S_OK) {
      try {
        instrument().get_AveragePower_Result();
        ADD_FAILURE() << "no raise";
      } catch (const _com_error& e) {
        EXPECT_EQ(e.Error(), c.hr);
      }
    }
  }
  EXPECT_EQ(instrument().try_AveragePower_Initiate().hr, platform::E_POINTER);
}

TEST(AdapterTest, ArrayResultsArriveAsOwningHandles) {
  struct Case {
    const char* what;
    testing::Value scripted;
    bool null;
    platform::VARTYPE type;
    uint16_t features;
    uint32_t dimensions;
    uint32_t count;
  } cases[] = {
      {"doubles", std::vector<double>{1, 2, 3}, false, platform::VT_R8, 0x80, 1, 3},
      {"empty", std::vector<double>{}, false, platform::VT_R8, 0x80, 1, 0},
      {"texts for doubles", std::vector<std::string>{"a.wf1"}, false, platform::VT_BSTR, 0x180, 1, 1},
      {"two dimensions", Matrix{2, 3}, false, platform::VT_R8, 0x80, 2, 6},
      {"null", NullArray{}, true, platform::VT_EMPTY, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testing::ScopedFakeInstrument fake;
    fake->returns(ServerOp::get_GatedSpectrum_Powers, c.scripted);
    platform::SafeArrayHandle array = instrument().get_GatedSpectrum_Powers();
    EXPECT_EQ(array.null(), c.null);
    EXPECT_EQ(array.elementType(), c.type);
    EXPECT_EQ(array.features(), c.features);
    EXPECT_EQ(array.dimensions(), c.dimensions);
    EXPECT_EQ(array.count(), c.count);
    if (c.null) {
      EXPECT_EQ(array.lock(), platform::E_INVALIDARG);
      continue;
    }
    EXPECT_EQ(array.data(), nullptr);
    ASSERT_EQ(array.lock(), platform::S_OK);
    EXPECT_NE(array.data(), nullptr);
    EXPECT_EQ(array.destroy(), platform::DISP_E_ARRAYISLOCKED);
    int32_t lower = -1;
    int32_t upper = -1;
    EXPECT_EQ(array.bounds(c.dimensions, &lower, &upper), platform::S_OK);
    EXPECT_EQ(array.bounds(c.dimensions + 1, &lower, &upper), platform::DISP_E_BADINDEX);
    EXPECT_EQ(array.unlock(), platform::S_OK);
    EXPECT_EQ(array.unlock(), platform::E_UNEXPECTED);
    EXPECT_EQ(array.destroy(), platform::S_OK);
    EXPECT_TRUE(array.null());
  }
}

TEST(AdapterTest, ATextListReadsBackWhileLocked) {
  testing::ScopedFakeInstrument fake;
  fake->returns(ServerOp::AWG_LoadedSegmentList, std::vector<std::string>{"a.wf1", "bb.wf1"});
  platform::SafeArrayHandle names = instrument().AWG_LoadedSegmentList();
  EXPECT_EQ(names.text(0), "");
  ASSERT_EQ(names.lock(), platform::S_OK);
  EXPECT_EQ(names.text(0), "a.wf1");
  EXPECT_EQ(names.text(1), "bb.wf1");
  EXPECT_EQ(names.text(2), "");
}

}  // namespace
}  // namespace tevra::server
