// Building blocks of the 802.11a/g OFDM PHY shared by the transmitter and the receiver: the rate table,
// the scrambler, the interleaver, the constellations, the subcarrier plan and the training fields.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

#include "sim/dsp/convolutional.h"
#include "sim/dsp/iq.h"

namespace tevra::dsp::ofdm {

inline constexpr size_t kFftSize = 64;
inline constexpr size_t kGuard = 16;
inline constexpr size_t kSymbol = kFftSize + kGuard;
inline constexpr size_t kDataCarriers = 48;
inline constexpr double kSampleRateHz = 20e6;
inline constexpr size_t kShortTraining = 160;
inline constexpr size_t kLongTraining = 160;
inline constexpr size_t kMaxLength = 4095;

struct Rate {
  double mbps;
  uint8_t signalBits;  // R1..R4, R1 in bit 3
  size_t bitsPerCarrier;
  CodeRate code;
  size_t codedBitsPerSymbol;
  size_t dataBitsPerSymbol;
};

const std::array<Rate, 8>& rates();
std::optional<Rate> rateOfMbps(double mbps);
std::optional<Rate> rateOfSignalBits(uint8_t bits);

// The frame-synchronous scrambler x^7 + x^4 + 1; `state` holds x7..x1 with x1 in bit 0.
class Scrambler {
 public:
  explicit constexpr Scrambler(uint8_t seed) : state_(seed & 0x7f) {}
  constexpr uint8_t next() {
    auto feedback = static_cast<uint8_t>(((state_ >> 6) ^ (state_ >> 3)) & 1);
    state_ = static_cast<uint8_t>(((state_ << 1) | feedback) & 0x7f);
    return feedback;
  }

 private:
  uint8_t state_;
};
// Bits xored with the scrambler sequence from a seed.
Bits scramble(const Bits& bits, uint8_t seed);

// The position of coded bit k of a symbol after interleaving.
// columns: 16 for legacy OFDM, 13 for HT.
size_t interleavedIndex(size_t k, size_t codedBitsPerSymbol, size_t bitsPerCarrier, size_t columns = 16);
Bits interleave(const Bits& symbolBits, size_t bitsPerCarrier, size_t columns = 16);
std::vector<double> deinterleave(const std::vector<double>& symbolSoft, size_t bitsPerCarrier,
                                 size_t columns = 16);

// Gray-coded BPSK, QPSK, 16-QAM and 64-QAM with unit mean energy; bits b0 first.
Complex mapBits(const uint8_t* bits, size_t bitsPerCarrier);
// Hard decisions on one axis of a constellation by arithmetic alone (no rounding call, no branch), so that
// loops over many carriers vectorize: level(v * scale) is the nearest point's coordinate to v. BPSK uses the
// in-phase axis only (`quadrature` false).
class AxisDecision {
 public:
  explicit AxisDecision(size_t bitsPerCarrier);
  double scale() const { return scale_; }
  bool quadrature() const { return quadrature_; }
  // level(v) = (2 i - top) axis for i = round(v + offset) clamped to 0..top.
  double offset() const { return offset_; }
  double top() const { return top_; }
  double axis() const { return axis_; }
  double level(double scaled) const {
    double index = roundedToInteger(std::min(std::max(scaled + offset_, 0.0), top_));
    return (2.0 * index - top_) * axis_;
  }

 private:
  double axis_, top_, scale_, offset_;
  bool quadrature_;
};

// The nearest constellation point, and soft bits (positive for a 1) written to `soft`.
Complex nearestPoint(Complex value, size_t bitsPerCarrier);
void softBits(Complex value, size_t bitsPerCarrier, double* soft);

// Subcarrier numbers -26..26 of the data carriers in order, and of the pilots.
const std::array<int, kDataCarriers>& dataCarriers();
const std::array<int, 4>& pilotCarriers();
// Pilot values of symbol n (n = 0 is SIGNAL): the base pilots times the polarity sequence.
std::array<double, 4> pilotValues(size_t symbol);
// The long training symbol's value on carrier k (-26..26), and the short training symbol's.
Complex longTrainingValue(int carrier);
Complex shortTrainingValue(int carrier);

// FFT bin of a subcarrier number.
inline size_t binOf(int carrier) {
  return static_cast<size_t>((carrier + static_cast<int>(kFftSize)) % static_cast<int>(kFftSize));
}

// The 24 SIGNAL bits before coding; and the rate and length they carry, when the parity holds.
Bits signalBits(const Rate& rate, size_t length);
struct SignalField {
  Rate rate;
  size_t length;
};
std::optional<SignalField> parseSignal(const Bits& bits);

// DATA symbols a PSDU of `length` bytes takes at a rate.
size_t dataSymbols(const Rate& rate, size_t length);

}  // namespace tevra::dsp::ofdm
