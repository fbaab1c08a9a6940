#include <gtest/gtest.h>

#include <random>
#include <string>

#include "sim/dsp/convolutional.h"
#include "sim/dsp/ht_phy.h"
#include "sim/dsp/ofdm_phy.h"
#include "sim/dsp/ofdm_tx.h"

namespace tevra::dsp {
namespace {

Bits bitsOf(const std::string& text) {
  Bits bits;
  for (char c : text)
    if (c == '0' || c == '1') bits.push_back(static_cast<uint8_t>(c - '0'));
  return bits;
}

// The SIGNAL field of the 36 Mbps, 100-byte message of the OFDM PHY's worked example, as coded and as
// interleaved; and the first bits of the scrambler from the all-ones state.
TEST(OfdmBlocks, ReproduceTheWorkedExample) {
  auto rate = ofdm::rateOfMbps(36);
  ASSERT_TRUE(rate);
  Bits signal = ofdm::signalBits(*rate, 100);
  EXPECT_EQ(signal, bitsOf("1011 0001 0011 0000 0000 0000"));
  Bits coded = convolutionalEncode(signal);
  EXPECT_EQ(coded, bitsOf("1101 0001 1010 0001 0000 0010 0011 1110 0111 0000 0000 0000"));
  EXPECT_EQ(ofdm::interleave(coded, 1),
            bitsOf("1001 0100 1101 0000 0001 0100 1000 0011 0010 0100 1001 0100"));
  EXPECT_EQ(ofdm::scramble(Bits(16, 0), 0x7f), bitsOf("0000 1110 1111 0010"));
  auto parsed = ofdm::parseSignal(signal);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->rate.mbps, 36);
  EXPECT_EQ(parsed->length, 100u);
}

// Every legacy rate and HT MCS: coding, puncturing and interleaving undone give the bits back; the
// constellation has unit mean energy and its decisions and soft bits invert the mapping.
TEST(OfdmBlocks, EveryRateInvertsItsBlocks) {
  struct Case {
    double name;
    size_t bitsPerCarrier;
    CodeRate code;
    size_t coded, data;
    size_t columns;
  };
  std::vector<Case> cases;
  for (const ofdm::Rate& r : ofdm::rates())
    cases.push_back({r.mbps, r.bitsPerCarrier, r.code, r.codedBitsPerSymbol, r.dataBitsPerSymbol, 16});
  for (const ht::Mcs& m : ht::mcsTable())
    cases.push_back(
        {100.0 + m.index, m.bitsPerCarrier, m.code, m.codedBitsPerSymbol, m.dataBitsPerSymbol, 13});
  std::mt19937 engine(7);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bits bits(c.data * 4);
    for (uint8_t& b : bits) b = static_cast<uint8_t>(engine() & 1);
    for (size_t i = bits.size() - 6; i < bits.size(); ++i) bits[i] = 0;
    Bits coded = puncture(convolutionalEncode(bits), c.code);
    ASSERT_EQ(coded.size(), 4 * c.coded);
    std::vector<double> soft(coded.size());
    double energy = 0;
    for (size_t at = 0; at < coded.size(); at += c.coded) {
      Bits symbol(coded.begin() + at, coded.begin() + at + c.coded);
      Bits mixed = ofdm::interleave(symbol, c.bitsPerCarrier, c.columns);
      std::vector<double> carrierSoft(mixed.size());
      for (size_t k = 0; k < mixed.size(); k += c.bitsPerCarrier) {
        Complex point = ofdm::mapBits(&mixed[k], c.bitsPerCarrier);
        energy += std::norm(point);
        EXPECT_EQ(ofdm::nearestPoint(point * 1.05, c.bitsPerCarrier), point);
        ofdm::softBits(point, c.bitsPerCarrier, &carrierSoft[k]);
      }
      std::vector<double> back = ofdm::deinterleave(carrierSoft, c.bitsPerCarrier, c.columns);
      std::copy(back.begin(), back.end(), soft.begin() + at);
    }
    EXPECT_NEAR(energy / static_cast<double>(coded.size() / c.bitsPerCarrier), 1.0, 0.2);
    EXPECT_EQ(viterbiDecode(depuncture(soft, c.code)), bits);
  }
}

// Soft values of uneven confidence decode to the bits sent; so do the same values with one of them
// turned against its bit (weakly) or erased, at every place, where the signs no longer form a codeword.
TEST(OfdmBlocks, ViterbiCorrectsOneWeakErrorOrErasureAnywhere) {
  std::mt19937 engine(11);
  std::uniform_real_distribution<double> confidence(0.2, 3.0);
  Bits bits(24);
  for (uint8_t& b : bits) b = static_cast<uint8_t>(engine() & 1);
  for (size_t i = bits.size() - 6; i < bits.size(); ++i) bits[i] = 0;
  Bits coded = convolutionalEncode(bits);
  std::vector<double> soft(coded.size());
  for (size_t i = 0; i < coded.size(); ++i) soft[i] = (coded[i] ? 1.0 : -1.0) * confidence(engine);
  EXPECT_EQ(viterbiDecode(soft), bits);
  struct Change {
    const char* name;
    double factor;
  };
  for (Change change : {Change{"turned", -0.1}, Change{"erased", 0.0}}) {
    for (size_t i = 0; i < soft.size(); ++i) {
      SCOPED_TRACE(testing::Message() << change.name << " " << i);
      std::vector<double> changed = soft;
      changed[i] *= change.factor;
      EXPECT_EQ(viterbiDecode(changed), bits);
    }
  }
}

}  // namespace
}  // namespace tevra::dsp
