#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cmath>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/driver_test.h"
#include "tevra.h"

namespace tevra::arb {
namespace {

using SegmentToolsTest = test::DriverTest;

std::string samples(const std::vector<std::pair<int, int>>& iq, size_t repeat = 1) {
  std::string bytes;
  for (size_t r = 0; r < repeat; ++r) {
    for (const auto& [i, q] : iq) {
      for (const int v : {i, q}) bytes += {static_cast<char>(v >> 8 & 0xFF), static_cast<char>(v & 0xFF)};
    }
  }
  return bytes;
}

TEST_F(SegmentToolsTest, MeasuresTheBurstAndRefusesWhatIsNotASegment) {
  struct Case {
    std::string bytes;
    int result;
    double burstRms;
  } cases[] = {
      {samples({{1000, 0}}, 1024), 1024, 1000},
      {samples({{300, 200}, {200, 250}, {0, 348}, {110, 0}, {-348, 0}}), 3,
       std::sqrt((130000 + 121104 * 2) / 3.0)},
      {samples({{-32768, -32768}, {0, 0}}, 8), 8, 32768 * std::sqrt(2.0)},
      {samples({{3, 4}}, 4), 0, 0},
      {samples({{1000, 0}}, 256) + "xy", -6064, 0},
      {"short", -6025, 0},
      {"BEXTORAQ7730A\xFF\xFF\xFF" + samples({{1000, 0}}, 8), -6017, 0},
  };
  const std::string path = dir_.file("seg.wf1");
  for (const auto& c : cases) {
    test::writeFile(path, c.bytes);
    double rms = -1;
    EXPECT_EQ(Tevra_Calc_SegmentBurstRMS(path.c_str(), &rms), c.result) << c.bytes.size();
    EXPECT_DOUBLE_EQ(rms, c.burstRms) << c.bytes.size();
  }
  markTrace();
  test::writeFile(path, samples({{1000, 0}, {0, 0}}, 2));
  double rms = 0;
  Tevra_Calc_SegmentBurstRMS(path.c_str(), &rms);
  EXPECT_EQ(lines(), (std::vector<std::string>{"> Start Calc_SegmentBurstRMS(" + path + ")",
                                               "Max I^2+Q^2=1e+06, I min=0 max=1000, Q min=0 max=0",
                                               "4 samples: burst 2, rms 707.107, burst rms 1000",
                                               "> End of Calc_SegmentBurstRMS(), RetCode = 2",
                                               "* used time: 0 ms *"}));
  EXPECT_EQ(Tevra_Calc_SegmentBurstRMS(path.c_str(), nullptr), -6007);
  EXPECT_EQ(Tevra_Calc_SegmentBurstRMS(dir_.file("none").c_str(), &rms), -6007);
}

TEST_F(SegmentToolsTest, ScalesIntoPlaceAndLeavesTheDestinationWhenRefused) {
  const std::string source = dir_.file("a.wf1");
  const std::string copy = dir_.file("b.wf1");
  struct Case {
    std::string bytes;
    double factor;
    const char* destination;
    int result;
    std::string written;  // empty: the destination keeps "kept"
  } cases[] = {
      {samples({{7, -7}}, 4), 0.5, "b.wf1", 0, samples({{3, -3}}, 4)},
      {samples({{20000, -20000}, {400, 0}}, 2), 4, "b.wf1", 4, samples({{32767, -32768}, {1600, 0}}, 2)},
      {samples({{1000, 10}}, 4), 0.5, "a.wf1", 4, samples({{500, 5}}, 4)},
      {samples({{7, -7}}, 4) + "x", 0.5, "b.wf1", -6212, ""},
      {samples({{7, -7}}, 4), NAN, "b.wf1", -6177, ""},
      {"BEXTORAQ7730A\xFF\xFF\xFF", 1, "b.wf1", -6188, ""},
  };
  for (const auto& c : cases) {
    test::writeFile(copy, "kept");
    test::writeFile(source, c.bytes);
    const std::string destination = dir_.file(c.destination);
    double rms = 0;
    EXPECT_EQ(Tevra_Calc_ReduceSegmentBurstRMS(source.c_str(), c.factor, destination.c_str(), &rms),
              c.result);
    EXPECT_EQ(test::readFile(c.written.empty() ? copy : destination), c.written.empty() ? "kept" : c.written);
  }
  EXPECT_EQ(test::readFile(source + ".bak"), samples({{1000, 10}}, 4));
}

TEST_F(SegmentToolsTest, NormalisesAFolderToItsSmallestBurst) {
  const std::string folder = dir_.file("w") + "/";
  std::filesystem::create_directory(folder);
  std::filesystem::create_directory(folder + "sub");
  const int levels[] = {1000, 2000, 4000};
  for (const int level : levels)
    test::writeFile(folder + std::to_string(level) + ".wf1", samples({{level, 0}}, 4));
  EXPECT_EQ(Tevra_Tool_NormalizeBurstRMS((folder + "*.wf1").c_str(), 0), 3);
  EXPECT_FALSE(std::filesystem::exists(folder + "2000.wf1_R"));
  EXPECT_EQ(Tevra_Tool_NormalizeBurstRMS(folder.c_str(), 1), 3);
  for (const int level : levels) {
    double rms = 0;
    EXPECT_EQ(Tevra_Calc_SegmentBurstRMS((folder + std::to_string(level) + ".wf1_R").c_str(), &rms), 4);
    EXPECT_DOUBLE_EQ(rms, 1000);
  }
  test::writeFile(folder + "idle.wf1", samples({{0, 0}}, 4));
  EXPECT_EQ(Tevra_Tool_NormalizeBurstRMS((folder + "*.wf1").c_str(), 1), 0);
  EXPECT_EQ(Tevra_Tool_NormalizeBurstRMS(dir_.file("nothing*").c_str(), 1), 0);
  EXPECT_EQ(Tevra_Tool_NormalizeBurstRMS((std::string(300, 'p') + "/").c_str(), 1), -8294);
}

// A full disk is a file-size limit here: the write fails part way and the file keeps its old size.
TEST_F(SegmentToolsTest, PadsByWholeSamplesAndPutsTheOldSizeBackWhenTheDiskIsFull) {
  const std::string path = dir_.file("pad.wf1");
  struct Case {
    double fraction;
    int result;
    size_t size;
  } cases[] = {{0.5, 0, 6000}, {0.0013, 0, 4004}, {-0.5, -418, 4000}, {NAN, -418, 4000}, {1e300, -418, 4000}};
  for (const auto& c : cases) {
    test::writeFile(path, std::string(4000, '\x11'));
    EXPECT_EQ(Tevra_FillSegmentIdle(path.c_str(), c.fraction), c.result) << c.fraction;
    EXPECT_EQ(test::readFile(path).size(), c.size) << c.fraction;
  }
  EXPECT_EQ(test::readFile(path + ".bak"), std::string(4000, '\x11'));
  EXPECT_EQ(Tevra_FillSegmentIdle(dir_.file("none").c_str(), 1), -397);
  const std::string big = dir_.file("big.wf1");
  const std::string kept = dir_.file("kept.wf1");
  test::writeFile(big, std::string(40000, '\x22'));
  test::writeFile(kept, "kept");
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 20000;
  setrlimit(RLIMIT_FSIZE, &small);
  const int padded = Tevra_FillSegmentIdle(path.c_str(), 8);
  double rms = 0;
  const int scaled = Tevra_Calc_ReduceSegmentBurstRMS(big.c_str(), 1, kept.c_str(), &rms);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(padded, -418);
  EXPECT_EQ(test::readFile(path), std::string(4000, '\x11'));
  EXPECT_EQ(scaled, -6257);
  EXPECT_EQ(test::readFile(kept), "kept");
  EXPECT_FALSE(std::filesystem::exists(kept + ".tmp"));
}

}  // namespace
}  // namespace tevra::arb
