#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/driver_test.h"
#include "tevra.h"

namespace tevra::spectrum {
namespace {

using Values = std::vector<double>;
constexpr double kFc = 2412e6;

Values aroundFc(const Values& offsetsMHz) {
  Values hz;
  for (double mhz : offsetsMHz) hz.push_back(kFc + mhz * 1e6);
  return hz;
}

class SpectrumCalcTest : public test::DriverTest {};

TEST_F(SpectrumCalcTest, ValueConversions) {
  const struct {
    double value;
    int32_t code;
    double expected;
  } cases[] = {{5.0, 9, 5.0},   {5.0, 0, 5.0},   {5.0, -3, 5.0},   {316.0, 6, 0.0}, {31.6, 6, -20.0},
               {10.0, 8, 10.0}, {100.0, 1, 0.0}, {-20.0, 2, 10.0}, {0.0, 4, 316.0}, {0.0, 3, 223.6068}};
  for (const auto& c : cases) EXPECT_NEAR(Tevra_Calc_Value(c.value, c.code), c.expected, 1e-9) << c.code;
  EXPECT_NEAR(Tevra_Calc_Value(Tevra_Calc_Value(-7.25, 3), 5), -7.25, 1e-12);
  markTrace();
  Tevra_Calc_Value(0.0, 7);
  EXPECT_EQ(lines(),
            (std::vector<std::string>{"> Start Calc_Value(0,7)", "> End of Calc_Value(), Ret = -inf"}));
}

TEST_F(SpectrumCalcTest, BandPowersAndRefusals) {
  const Values flat(100, -50.0);
  const Values underflow(4, -4000.0);
  const Values withNaN{-50.0, std::nan("")};
  const struct {
    const char* what;
    std::function<int32_t(double*)> call;
    int32_t result;
    double power;
    std::vector<std::string> trace;
  } cases[] = {
      {"flat spectrum",
       [&](double* p) { return Tevra_Calc_Spectrum_BandPower(100, flat.data(), 16.6e6, 1e5, p); },
       0,
       -50.0 + 10.0 * std::log10(166.0 / 1.056),
       {"> Start Calc_Spectrum_BandPower(100,,16.6 MHz,100 KHz)",
        "> End of Calc_Spectrum_BandPower(), BandPower -28.0356 dBm", "* used time: 0 ms *"}},
      {"flat density",
       [&](double* p) { return Tevra_Calc_PSD_BandPower(2, flat.data(), 16.6e6, 1e5, -100.0, p); },
       0,
       -50.0 - 50.0 + 10.0 * std::log10(166.0),
       {"> Start Calc_PSD_BandPower(2,,16.6 MHz,100 KHz)", "ReferenceLevel = -50 dBm",
        "> End of Calc_PSD_BandPower(), BandPower -77.7989 dBm", "* used time: 0 ms *"}},
      {"no points",
       [&](double* p) { return Tevra_Calc_Spectrum_BandPower(0, flat.data(), 1e6, 1e5, p); },
       TEVRA_CALC_SPECTRUM_BANDPOWER_REFUSED,
       7.0,
       {"> Start Calc_Spectrum_BandPower(0,,1 MHz,100 KHz)",
        "ERR -6480,no band power of 0 points with these arguments",
        "> End of Calc_Spectrum_BandPower(), RetCode = -6480", "* used time: 0 ms *"}},
  };
  for (const auto& c : cases) {
    markTrace();
    double power = 7.0;
    EXPECT_EQ(c.call(&power), c.result) << c.what;
    EXPECT_NEAR(power, c.power, 1e-9) << c.what;
    EXPECT_EQ(lines(), c.trace) << c.what;
  }
  double power = 7.0;
  EXPECT_EQ(Tevra_Calc_Spectrum_BandPower(2, withNaN.data(), 1e6, 1e5, &power), -6480) << "NaN";
  EXPECT_EQ(Tevra_Calc_PSD_BandPower(4, underflow.data(), 1e6, 1e5, 0.0, &power), -6490) << "sum is 0";
  EXPECT_EQ(Tevra_Calc_PSD_BandPower(4, flat.data(), 1e6, 0.0, 0.0, &power), -6490) << "no RBW";
  EXPECT_EQ(power, 7.0);
}

TEST_F(SpectrumCalcTest, LimitLineFromTable) {
  const Values freqs = aroundFc({-20, -10, 0, 10, 20});
  const Values powers{-50, -30, 0, -30, -49.5};
  const Values twice{-5, -1, -1, -3, -9};
  const Values sloped{-10e6, -30, 0, -10, 10e6, -30};
  const struct {
    Values table;
    const Values* powers;
    int32_t result;
    Values limits;
    Values failed;
    std::string peakLine;
  } cases[] = {
      {sloped, &powers, 2, {-50, -30, -10, -30, -50}, {kFc, kFc + 20e6}, "PeakPower 0 dBm @ index 2"},
      {{-1e6, -20, 1e6, -20}, &powers, 1, {-20, -20, -20, -20, -20}, {kFc}, "PeakPower 0 dBm @ index 2"},
      {{-1e6, -2, 1e6, -2}, &twice, 2, {-3, -3, -3, -3, -3}, {kFc - 10e6, kFc}, "PeakPower -1 dBm @ index 1"},
  };
  for (const auto& c : cases) {
    markTrace();
    Values limits(5, 1.0), failFreqs(5, 0.0), failPowers(5, 0.0);
    EXPECT_EQ(Tevra_Calc_LimitLine(5, freqs.data(), c.powers->data(), static_cast<int32_t>(c.table.size()),
                                   c.table.data(), limits.data(), failFreqs.data(), failPowers.data()),
              c.result);
    for (size_t i = 0; i < c.limits.size(); ++i) EXPECT_NEAR(limits[i], c.limits[i], 1e-9) << c.peakLine << i;
    EXPECT_EQ(Values(failFreqs.begin(), failFreqs.begin() + c.result), c.failed);
    EXPECT_EQ(lines().at(1), c.peakLine);
  }
  // Too short, odd, equal offsets, a NaN level: a limit that would pass everything is refused.
  for (const Values& table : {Values{-1e6, -20}, Values{-1e6, -20, 1e6},
                              Values{-1e6, -20, -1e6, -30, 1e6, -20}, Values{-1e6, std::nan(""), 1e6, -20}}) {
    EXPECT_EQ(Tevra_Calc_LimitLine(5, freqs.data(), powers.data(), static_cast<int32_t>(table.size()),
                                   table.data(), nullptr, nullptr, nullptr),
              -6437);
  }
  EXPECT_EQ(Tevra_Calc_LimitLine(0, freqs.data(), powers.data(), 6, sloped.data(), nullptr, nullptr, nullptr),
            -6437);
  EXPECT_EQ(Tevra_Calc_LimitLine(5, freqs.data(), powers.data(), 6, sloped.data(), nullptr, nullptr, nullptr),
            2);
}

TEST_F(SpectrumCalcTest, MasksOnTheirLines) {
  using Call = std::function<int32_t(const Values&, const Values&, Values&, Values&)>;
  auto mask = [](auto function) -> Call {
    return [function](const Values& f, const Values& p, Values& limits, Values& fails) {
      return function(static_cast<int32_t>(f.size()), f.data(), p.data(), limits.data(), fails.data(),
                      nullptr);
    };
  };
  auto ht = [](int32_t ht40) -> Call {
    return [ht40](const Values& f, const Values& p, Values& limits, Values& fails) {
      return Tevra_MeasureEx_SpectralMask_11n(static_cast<int32_t>(f.size()), f.data(), p.data(),
                                              limits.data(), fails.data(), nullptr, ht40);
    };
  };
  const struct {
    const char* what;
    Call call;
    Values offsetsMHz;
    Values powers;
    Values limits;
    Values failedMHz;
  } cases[] = {
      {"11ag on its breakpoints",
       mask(Tevra_MeasureEx_SpectralMask_11ag),
       {-40, -30, -20, -11, -9, 0, 11, 20, 30, 40},
       {-40, -40, -28, -20, -0.5, 0, -21, -29, -40, -39.9},
       {-40, -40, -28, -20, 0, 0, -20, -28, -40, -40},
       {40}},
      {"11b half-open steps",
       mask(Tevra_MeasureEx_SpectralMask_11b),
       {-30, -22, -11, 0, 11, 22, 30},
       {-60, -40, -10, 0, -29, -40, -50},
       {-50, -30, 0, 0, -30, -50, -50},
       {11, 22}},
      {"HT20 far segment", ht(0), {-30, -25, 0, 30}, {-45, -36, 0, -44}, {-45, -36.5, 0, -45}, {-25, 30}},
      {"HT40 breakpoints",
       ht(1),
       {-60, -40, -21, -19, 0, 60, 70},
       {-45, -28, -20, -5, 0, -45, -45},
       {-45, -28, -20, 0, 0, -45, -45},
       {}},
  };
  for (const auto& c : cases) {
    const Values freqs = aroundFc(c.offsetsMHz);
    Values limits(freqs.size(), 1.0), fails(freqs.size(), 0.0);
    EXPECT_EQ(c.call(freqs, c.powers, limits, fails), static_cast<int32_t>(c.failedMHz.size())) << c.what;
    for (size_t i = 0; i < c.limits.size(); ++i) EXPECT_NEAR(limits[i], c.limits[i], 1e-6) << c.what << i;
    for (size_t i = 0; i < c.failedMHz.size(); ++i) EXPECT_EQ(fails[i], kFc + c.failedMHz[i] * 1e6) << c.what;
  }
  markTrace();
  EXPECT_EQ(Tevra_MeasureEx_SpectralMask_11n(0, nullptr, nullptr, nullptr, nullptr, nullptr, 1), -8613);
  EXPECT_EQ(lines(),
            (std::vector<std::string>{
                "> Start MeasureEx_SpectralMask_11n(HT40)", "ERR -8613,no trace to evaluate (0 points)",
                "> End of MeasureEx_SpectralMask_11n(), RetCode = -8613", "* used time: 0 ms *"}));
}

TEST_F(SpectrumCalcTest, OccupiedBandwidth) {
  Values freqs = aroundFc({-5, -4, -3, -2, -1, 0, 1, 2, 3, 4, 5});
  Values oneLine(11, -100.0);
  oneLine[5] = 0.0;
  const Values silent(11, -4000.0);
  const struct {
    const char* what;
    int32_t count;
    const Values* powers;
    double percent;
    int32_t result;
    double obwHz;
  } cases[] = {
      {"all power in one point", 11, &oneLine, 99.0, 0, 1.99e6},
      {"whole span at 100 percent", 11, &oneLine, 100.0, 0, 10e6},
      {"percent above 100", 11, &oneLine, 100.5, -5722, 99.0},
      {"percent not a number", 11, &oneLine, std::nan(""), -5722, 99.0},
      {"empty trace", 0, &oneLine, 99.0, -5722, 99.0},
      {"power underflows to nothing", 11, &silent, 99.0, -5722, 99.0},
  };
  for (const auto& c : cases) {
    markTrace();
    double obw = 0.0;
    EXPECT_EQ(Tevra_MeasureEx_OBW(c.count, freqs.data(), c.powers->data(), &obw, c.percent), c.result)
        << c.what;
    EXPECT_NEAR(obw, c.obwHz, 1.0) << c.what;
  }
  markTrace();
  double obw = 0.0;
  Tevra_MeasureEx_OBW(11, freqs.data(), oneLine.data(), &obw, 99.0);
  EXPECT_EQ(lines(), (std::vector<std::string>{"> Start MeasureEx_OBW()",
                                               "> End of MeasureEx_OBW(1.99 MHz), RetCode = 0",
                                               "* used time: 0 ms *"}));
}

TEST_F(SpectrumCalcTest, SidelobesOf11b) {
  const std::string left2 = "Cannot find the 2nd sidelobe on the left side";
  const struct {
    Values offsetsMHz;
    Values powers;
    int32_t result;
    Values lobes;      // powers as returned
    std::string line;  // the second trace line
  } cases[] = {
      {{-30, -25, -20, -15, 0, 5, 15, 20, 25, 30},
       {-50, -45, -35, -30, 0, -2, -32, -28, -48, -52},
       0,
       {0, 28, 45, -30, -28, -45, -48},
       "Mainlobe 0 dBm @ 2.412e+09 Hz, 1st-Sidelobe -28 dBm @ 2.432e+09 Hz, 2nd-Sidelobe -45 dBm @ 2.387e+09 "
       "Hz"},
      // Nothing between 11 and 22 MHz on the right: that lobe is not taken from a point beyond it.
      {{-25, -15, 0, 25}, {-40, -30, 0, -35}, 0, {0, 30, 35, -30, -999, -40, -35}, ""},
      {{-20, 0}, {-30, 0}, -5785, {}, "ERR -5785," + left2},
      {{-30, 0}, {-30, 0}, -5804, {}, "ERR -5804,Cannot find the 1st sidelobe on the left side"},
      {{-30, -15, 15}, {-30, -20, -10}, -5823, {}, "ERR -5823,Cannot find the mainlobe"},
      {{}, {}, -5785, {}, "ERR -5785," + left2},
  };
  for (const auto& c : cases) {
    markTrace();
    const Values freqs = aroundFc(c.offsetsMHz);
    Values lobeFreqs(7, 0.0), lobePowers(7, 0.0);
    EXPECT_EQ(Tevra_MeasureEx_Sidelobe_11b(static_cast<int32_t>(freqs.size()), freqs.data(), c.powers.data(),
                                           lobeFreqs.data(), lobePowers.data()),
              c.result);
    if (!c.lobes.empty()) {
      EXPECT_EQ(lobePowers, c.lobes);
    }
    if (!c.line.empty()) {
      EXPECT_EQ(lines().at(1), c.line);
    }
  }
}

}  // namespace
}  // namespace tevra::spectrum
