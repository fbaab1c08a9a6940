#include "sim/dsp/ofdm_phy.h"

#include <algorithm>
#include <limits>

namespace tevra::dsp::ofdm {
namespace {

constexpr std::array<int8_t, 53> kLongTrainingSigns = {
    1, 1,  -1, -1, 1, 1,  -1, 1,  -1, 1,  1,  1,  1,  1,  1, -1, -1, 1,  1, -1, 1, -1, 1, 1, 1, 1, 0,
    1, -1, -1, 1,  1, -1, 1,  -1, 1,  -1, -1, -1, -1, -1, 1, 1,  -1, -1, 1, -1, 1, -1, 1, 1, 1, 1};

// Carriers of the short training symbol (multiples of 4) and their signs; the value is sign * (1 + j).
constexpr std::array<std::pair<int, int>, 12> kShortTrainingSigns = {{{-24, 1},
                                                                      {-20, -1},
                                                                      {-16, 1},
                                                                      {-12, -1},
                                                                      {-8, -1},
                                                                      {-4, 1},
                                                                      {4, -1},
                                                                      {8, -1},
                                                                      {12, 1},
                                                                      {16, 1},
                                                                      {20, 1},
                                                                      {24, 1}}};

double axisScale(size_t bitsPerCarrier) {
  switch (bitsPerCarrier) {
    case 2:
      return 1.0 / std::sqrt(2.0);
    case 4:
      return 1.0 / std::sqrt(10.0);
    case 6:
      return 1.0 / std::sqrt(42.0);
  }
  return 1.0;
}

// The level of a Gray-coded PAM axis from its bits, most significant first.
double pamLevel(const uint8_t* bits, size_t count) {
  unsigned index = 0;
  unsigned previous = 0;
  for (size_t i = 0; i < count; ++i) {
    previous ^= bits[i] & 1u;
    index = (index << 1) | previous;
  }
  return 2.0 * index - ((1u << count) - 1.0);
}

// Max-log soft bits of one axis: for each bit, the distance to the nearest level with a 0 there less the
// distance to the nearest level with a 1.
void softAxis(double value, size_t count, double* soft) {
  size_t levels = size_t{1} << count;
  for (size_t bit = 0; bit < count; ++bit) {
    double best[2] = {std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};
    for (size_t code = 0; code < levels; ++code) {
      uint8_t bits[3];
      for (size_t i = 0; i < count; ++i) bits[i] = static_cast<uint8_t>((code >> (count - 1 - i)) & 1);
      double d = value - pamLevel(bits, count);
      best[bits[bit]] = std::min(best[bits[bit]], d * d);
    }
    soft[bit] = best[0] - best[1];
  }
}

// The pilots' polarity sequence, built when compiling: a table built on first use cost every pilot lookup a
// guard test and a function's register saves.
constexpr std::array<double, 127> kPolarity = [] {
  std::array<double, 127> p{};
  Scrambler s(0x7f);
  for (double& v : p) v = s.next() ? -1.0 : 1.0;
  return p;
}();

}  // namespace

const std::array<Rate, 8>& rates() {
  static const std::array<Rate, 8> table = {{
      {6, 0b1101, 1, CodeRate::kHalf, 48, 24},
      {9, 0b1111, 1, CodeRate::kThreeQuarters, 48, 36},
      {12, 0b0101, 2, CodeRate::kHalf, 96, 48},
      {18, 0b0111, 2, CodeRate::kThreeQuarters, 96, 72},
      {24, 0b1001, 4, CodeRate::kHalf, 192, 96},
      {36, 0b1011, 4, CodeRate::kThreeQuarters, 192, 144},
      {48, 0b0001, 6, CodeRate::kTwoThirds, 288, 192},
      {54, 0b0011, 6, CodeRate::kThreeQuarters, 288, 216},
  }};
  return table;
}

std::optional<Rate> rateOfMbps(double mbps) {
  for (const Rate& r : rates())
    if (r.mbps == mbps) return r;
  return std::nullopt;
}

std::optional<Rate> rateOfSignalBits(uint8_t bits) {
  for (const Rate& r : rates())
    if (r.signalBits == bits) return r;
  return std::nullopt;
}

Bits scramble(const Bits& bits, uint8_t seed) {
  Scrambler s(seed);
  Bits out(bits.size());
  for (size_t n = 0; n < bits.size(); ++n) out[n] = static_cast<uint8_t>(bits[n] ^ s.next());
  return out;
}

size_t interleavedIndex(size_t k, size_t codedBitsPerSymbol, size_t bitsPerCarrier, size_t columns) {
  size_t n = codedBitsPerSymbol;
  size_t s = std::max<size_t>(bitsPerCarrier / 2, 1);
  size_t i = (n / columns) * (k % columns) + k / columns;
  return s * (i / s) + (i + n - (columns * i) / n) % s;
}

namespace {

// The interleaved positions of a symbol's coded bits, per layout, kept per thread: a receiver and a
// transmitter use the same few layouts symbol after symbol, and the index arithmetic takes five divisions
// a bit.
struct InterleaverTable {
  size_t codedBitsPerSymbol, bitsPerCarrier, columns;
  std::vector<size_t> index;
};

const std::vector<size_t>& interleavedIndices(size_t codedBitsPerSymbol, size_t bitsPerCarrier,
                                              size_t columns) {
  // More layouts than every rate and MCS of both channel widths: the table set is cleared rather than
  // grown without bound by odd sizes.
  constexpr size_t kMostLayouts = 32;
  thread_local std::vector<InterleaverTable> tables;
  for (const InterleaverTable& t : tables)
    if (t.codedBitsPerSymbol == codedBitsPerSymbol && t.bitsPerCarrier == bitsPerCarrier &&
        t.columns == columns)
      return t.index;
  if (tables.size() == kMostLayouts) tables.clear();
  InterleaverTable& t = tables.emplace_back(
      InterleaverTable{codedBitsPerSymbol, bitsPerCarrier, columns, std::vector<size_t>(codedBitsPerSymbol)});
  for (size_t k = 0; k < codedBitsPerSymbol; ++k)
    t.index[k] = interleavedIndex(k, codedBitsPerSymbol, bitsPerCarrier, columns);
  return t.index;
}

}  // namespace

Bits interleave(const Bits& symbolBits, size_t bitsPerCarrier, size_t columns) {
  const std::vector<size_t>& index = interleavedIndices(symbolBits.size(), bitsPerCarrier, columns);
  Bits out(symbolBits.size());
  for (size_t k = 0; k < symbolBits.size(); ++k) out[index[k]] = symbolBits[k];
  return out;
}

std::vector<double> deinterleave(const std::vector<double>& symbolSoft, size_t bitsPerCarrier,
                                 size_t columns) {
  const std::vector<size_t>& index = interleavedIndices(symbolSoft.size(), bitsPerCarrier, columns);
  std::vector<double> out(symbolSoft.size());
  for (size_t k = 0; k < symbolSoft.size(); ++k) out[k] = symbolSoft[index[k]];
  return out;
}

Complex mapBits(const uint8_t* bits, size_t bitsPerCarrier) {
  if (bitsPerCarrier == 1) return {bits[0] ? 1.0 : -1.0, 0.0};
  size_t half = bitsPerCarrier / 2;
  return Complex{pamLevel(bits, half), pamLevel(bits + half, half)} * axisScale(bitsPerCarrier);
}

// The levels of an axis are the odd integers -top..top times the axis scale: the nearest one's index
// (0..top) is the value scaled by 1 / (2 axis) and offset by top / 2, rounded and clipped.
AxisDecision::AxisDecision(size_t bitsPerCarrier)
    : axis_(axisScale(bitsPerCarrier)),
      top_((1u << std::max<size_t>(bitsPerCarrier / 2, 1)) - 1.0),
      scale_(0.5 / axis_),
      offset_(top_ / 2),
      quadrature_(bitsPerCarrier > 1) {}

Complex nearestPoint(Complex value, size_t bitsPerCarrier) {
  AxisDecision axis(bitsPerCarrier);
  double q = axis.quadrature() ? axis.level(value.imag() * axis.scale()) : 0.0;
  return {axis.level(value.real() * axis.scale()), q};
}

void softBits(Complex value, size_t bitsPerCarrier, double* soft) {
  if (bitsPerCarrier == 1) {
    soft[0] = value.real();
    return;
  }
  double k = axisScale(bitsPerCarrier);
  size_t half = bitsPerCarrier / 2;
  softAxis(value.real() / k, half, soft);
  softAxis(value.imag() / k, half, soft + half);
}

const std::array<int, kDataCarriers>& dataCarriers() {
  static const std::array<int, kDataCarriers> carriers = [] {
    std::array<int, kDataCarriers> c{};
    size_t n = 0;
    for (int k = -26; k <= 26; ++k)
      if (k != 0 && k != -21 && k != -7 && k != 7 && k != 21) c[n++] = k;
    return c;
  }();
  return carriers;
}

const std::array<int, 4>& pilotCarriers() {
  static const std::array<int, 4> carriers = {-21, -7, 7, 21};
  return carriers;
}

std::array<double, 4> pilotValues(size_t symbol) {
  double p = kPolarity[symbol % kPolarity.size()];
  return {p, p, p, -p};
}

Complex longTrainingValue(int carrier) {
  if (carrier < -26 || carrier > 26) return {};
  return kLongTrainingSigns[static_cast<size_t>(carrier + 26)];
}

Complex shortTrainingValue(int carrier) {
  for (auto [k, sign] : kShortTrainingSigns)
    if (k == carrier) return std::sqrt(13.0 / 6.0) * Complex{1.0, 1.0} * static_cast<double>(sign);
  return {};
}

Bits signalBits(const Rate& rate, size_t length) {
  Bits bits(24, 0);
  for (size_t i = 0; i < 4; ++i) bits[i] = static_cast<uint8_t>((rate.signalBits >> (3 - i)) & 1);
  for (size_t i = 0; i < 12; ++i) bits[5 + i] = static_cast<uint8_t>((length >> i) & 1);
  uint8_t parity = 0;
  for (size_t i = 0; i < 17; ++i) parity ^= bits[i];
  bits[17] = parity;
  return bits;
}

std::optional<SignalField> parseSignal(const Bits& bits) {
  if (bits.size() < 18) return std::nullopt;
  uint8_t parity = 0;
  for (size_t i = 0; i < 18; ++i) parity ^= bits[i];
  uint8_t code = 0;
  for (size_t i = 0; i < 4; ++i) code = static_cast<uint8_t>((code << 1) | bits[i]);
  size_t length = 0;
  for (size_t i = 0; i < 12; ++i) length |= static_cast<size_t>(bits[5 + i]) << i;
  auto rate = rateOfSignalBits(code);
  if (parity || !rate || length == 0) return std::nullopt;
  return SignalField{*rate, length};
}

size_t dataSymbols(const Rate& rate, size_t length) {
  return (16 + 8 * length + 6 + rate.dataBitsPerSymbol - 1) / rate.dataBitsPerSymbol;
}

}  // namespace tevra::dsp::ofdm
