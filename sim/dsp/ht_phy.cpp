#include "sim/dsp/ht_phy.h"

#include <algorithm>

#include "sim/dsp/ofdm_phy.h"

namespace tevra::dsp::ht {
namespace {

constexpr size_t kColumns = 13;
constexpr size_t kWideColumns = 18;

}  // namespace

const std::array<Mcs, 8>& mcsTable() {
  static const std::array<Mcs, 8> table = {{
      {0, 1, CodeRate::kHalf, 52, 26},
      {1, 2, CodeRate::kHalf, 104, 52},
      {2, 2, CodeRate::kThreeQuarters, 104, 78},
      {3, 4, CodeRate::kHalf, 208, 104},
      {4, 4, CodeRate::kThreeQuarters, 208, 156},
      {5, 6, CodeRate::kTwoThirds, 312, 208},
      {6, 6, CodeRate::kThreeQuarters, 312, 234},
      {7, 6, CodeRate::kFiveSixths, 312, 260},
  }};
  return table;
}

std::optional<Mcs> mcsOf(int index) {
  if (index < 0 || index > 7) return std::nullopt;
  return mcsTable()[static_cast<size_t>(index)];
}

const std::array<int, kDataCarriers>& dataCarriers() {
  static const std::array<int, kDataCarriers> carriers = [] {
    std::array<int, kDataCarriers> c{};
    size_t n = 0;
    for (int k = -28; k <= 28; ++k)
      if (k != 0 && k != -21 && k != -7 && k != 7 && k != 21) c[n++] = k;
    return c;
  }();
  return carriers;
}

std::array<double, 4> pilotValues(size_t symbol) {
  static constexpr double kPattern[4] = {1, 1, 1, -1};
  // The polarity sequence goes on from the two HT-SIG symbols, which take its values 1 and 2.
  double polarity = ofdm::pilotValues(symbol + 3)[0];
  std::array<double, 4> out{};
  for (size_t p = 0; p < 4; ++p) out[p] = polarity * kPattern[(p + symbol) % 4];
  return out;
}

Complex longTrainingValue(int carrier) {
  if (carrier == -28 || carrier == -27) return 1.0;
  if (carrier == 27 || carrier == 28) return -1.0;
  return ofdm::longTrainingValue(carrier);
}

size_t interleavedIndex(size_t k, size_t n, size_t bitsPerCarrier) {
  return ofdm::interleavedIndex(k, n, bitsPerCarrier, kColumns);
}

Bits interleave(const Bits& symbolBits, size_t bitsPerCarrier) {
  return ofdm::interleave(symbolBits, bitsPerCarrier, kColumns);
}

std::vector<double> deinterleave(const std::vector<double>& symbolSoft, size_t bitsPerCarrier) {
  return ofdm::deinterleave(symbolSoft, bitsPerCarrier, kColumns);
}

uint8_t sigCrc(const Bits& bits) {
  unsigned reg = 0xff;
  for (uint8_t bit : bits) {
    unsigned feedback = ((reg >> 7) ^ bit) & 1;
    reg = (reg << 1) & 0xff;
    if (feedback) reg ^= 0x07;
  }
  return static_cast<uint8_t>(~reg & 0xff);
}

Bits sigBits(const Mcs& mcs, size_t length, bool wide) {
  Bits bits;
  appendLsbFirst(bits, static_cast<unsigned>(mcs.index), 7);
  appendLsbFirst(bits, wide ? 1 : 0, 1);
  appendLsbFirst(bits, static_cast<unsigned>(length), 16);
  // Smoothing recommended, not a sounding PPDU, the reserved one; no aggregation, STBC, LDPC or short GI.
  appendLsbFirst(bits, 0b0000000111, 10);
  uint8_t crc = sigCrc(bits);
  for (int i = 7; i >= 0; --i) bits.push_back(static_cast<uint8_t>((crc >> i) & 1));
  appendLsbFirst(bits, 0, 6);
  return bits;
}

std::optional<SigField> parseSig(const Bits& bits, bool fortyMhz) {
  if (bits.size() < 48) return std::nullopt;
  uint8_t crc = 0;
  for (size_t i = 0; i < 8; ++i) crc = static_cast<uint8_t>((crc << 1) | bits[34 + i]);
  if (crc != sigCrc(Bits(bits.begin(), bits.begin() + 34))) return std::nullopt;
  auto index = static_cast<int>(readLsbFirst(bits, 0, 7));
  auto mcs = fortyMhz ? wide::mcsOf(index) : mcsOf(index);
  size_t length = readLsbFirst(bits, 8, 16);
  if (!mcs || (bits[7] != 0) != fortyMhz || length == 0) return std::nullopt;
  return SigField{*mcs, length};
}

size_t dataSymbols(const Mcs& mcs, size_t length) {
  return (16 + 8 * length + 6 + mcs.dataBitsPerSymbol - 1) / mcs.dataBitsPerSymbol;
}

size_t legacyLength(size_t dataSymbols) {
  // HT-SIG (8 us), HT-STF (4 us), one HT-LTF (4 us) and the DATA symbols, in 4 us symbols of 3 bytes.
  return 3 * (4 + dataSymbols) - 3;
}

namespace wide {

std::optional<Mcs> mcsOf(int index) {
  auto mcs = ht::mcsOf(index);
  if (!mcs) return std::nullopt;
  mcs->codedBitsPerSymbol = kDataCarriers * mcs->bitsPerCarrier;
  mcs->dataBitsPerSymbol = mcs->codedBitsPerSymbol *
                           ht::mcsTable()[static_cast<size_t>(index)].dataBitsPerSymbol /
                           ht::mcsTable()[static_cast<size_t>(index)].codedBitsPerSymbol;
  return mcs;
}

const std::array<int, 6>& pilotCarriers() {
  static const std::array<int, 6> carriers = {-53, -25, -11, 11, 25, 53};
  return carriers;
}

const std::array<int, kDataCarriers>& dataCarriers() {
  static const std::array<int, kDataCarriers> carriers = [] {
    std::array<int, kDataCarriers> c{};
    size_t n = 0;
    for (int k = -58; k <= 58; ++k) {
      bool pilot = std::find(pilotCarriers().begin(), pilotCarriers().end(), k) != pilotCarriers().end();
      if (std::abs(k) >= 2 && !pilot) c[n++] = k;
    }
    return c;
  }();
  return carriers;
}

std::array<double, 6> pilotValues(size_t symbol) {
  static constexpr double kPattern[6] = {1, 1, 1, -1, -1, 1};
  double polarity = ofdm::pilotValues(symbol + 3)[0];
  std::array<double, 6> out{};
  for (size_t p = 0; p < 6; ++p) out[p] = polarity * kPattern[(p + symbol) % 6];
  return out;
}

Complex longTrainingValue(int carrier) {
  static constexpr int kCentre[11] = {-1, -1, -1, 1, 0, 0, 0, -1, 1, 1, -1};
  int magnitude = std::abs(carrier);
  if (magnitude > 58) return {};
  if (magnitude <= 5) return kCentre[carrier + 5];
  if (magnitude == kHalfOffset) return 1.0;
  return ofdm::longTrainingValue(carrier < 0 ? carrier + kHalfOffset : carrier - kHalfOffset);
}

Bits interleave(const Bits& symbolBits, size_t bitsPerCarrier) {
  return ofdm::interleave(symbolBits, bitsPerCarrier, kWideColumns);
}

std::vector<double> deinterleave(const std::vector<double>& symbolSoft, size_t bitsPerCarrier) {
  return ofdm::deinterleave(symbolSoft, bitsPerCarrier, kWideColumns);
}

}  // namespace wide

}  // namespace tevra::dsp::ht
