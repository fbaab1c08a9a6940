#include "sim/dsp/dsss_phy.h"

namespace tevra::dsp::dsss {
namespace {

constexpr std::array<std::pair<double, uint8_t>, 4> kRates = {
    {{1, 0x0a}, {2, 0x14}, {5.5, 0x37}, {11, 0x6e}}};
constexpr uint16_t kLongSfd = 0xf3a0;
constexpr uint16_t kShortSfd = 0x05cf;

}  // namespace

std::optional<uint8_t> signalOfMbps(double mbps) {
  for (auto [rate, signal] : kRates)
    if (rate == mbps) return signal;
  return std::nullopt;
}

std::optional<double> mbpsOfSignal(uint8_t signal) {
  for (auto [rate, value] : kRates)
    if (value == signal) return rate;
  return std::nullopt;
}

const std::array<double, 11>& barker() {
  static const std::array<double, 11> chips = {1, -1, 1, 1, -1, 1, 1, 1, -1, -1, -1};
  return chips;
}

uint8_t Scrambler::scramble(uint8_t bit) {
  auto out = static_cast<uint8_t>((bit ^ (state_ >> 3) ^ (state_ >> 6)) & 1);
  state_ = static_cast<uint8_t>(((state_ << 1) | out) & 0x7f);
  return out;
}

uint8_t Scrambler::descramble(uint8_t bit) {
  auto out = static_cast<uint8_t>((bit ^ (state_ >> 3) ^ (state_ >> 6)) & 1);
  state_ = static_cast<uint8_t>(((state_ << 1) | (bit & 1)) & 0x7f);
  return out;
}

uint16_t headerCrc(const Bits& bits) {
  unsigned reg = 0xffff;
  for (uint8_t bit : bits) {
    unsigned feedback = ((reg >> 15) ^ bit) & 1;
    reg = (reg << 1) & 0xffff;
    if (feedback) reg ^= 0x1021;
  }
  return static_cast<uint16_t>(~reg & 0xffff);
}

Bits preambleBits(Preamble preamble) {
  Bits bits(preamble == Preamble::kLong ? 128 : 56, preamble == Preamble::kLong ? 1 : 0);
  Bits sfd = sfdBits(preamble);
  bits.insert(bits.end(), sfd.begin(), sfd.end());
  return bits;
}

Bits sfdBits(Preamble preamble) {
  Bits bits;
  appendLsbFirst(bits, preamble == Preamble::kLong ? kLongSfd : kShortSfd, 16);
  return bits;
}

Bits headerBits(double mbps, size_t lengthBytes) {
  uint8_t signal = signalOfMbps(mbps).value_or(0x0a);
  double exactUs = 8.0 * static_cast<double>(lengthBytes) / mbps;
  auto lengthUs = static_cast<unsigned>(std::ceil(exactUs - 1e-9));
  // At 11 Mbit/s the rounding up can hide a whole byte; the extension bit tells the receiver.
  unsigned service = 0x04;
  if (mbps == 11 && lengthUs - exactUs >= 8.0 / 11.0) service |= 0x80;
  Bits bits;
  appendLsbFirst(bits, signal, 8);
  appendLsbFirst(bits, service, 8);
  appendLsbFirst(bits, lengthUs, 16);
  uint16_t crc = headerCrc(bits);
  for (int i = 15; i >= 0; --i) bits.push_back(static_cast<uint8_t>((crc >> i) & 1));
  return bits;
}

std::optional<Header> parseHeader(const Bits& bits) {
  if (bits.size() < 48) return std::nullopt;
  Bits fields(bits.begin(), bits.begin() + 32);
  uint16_t crc = 0;
  for (size_t i = 0; i < 16; ++i) crc = static_cast<uint16_t>((crc << 1) | bits[32 + i]);
  auto mbps = mbpsOfSignal(static_cast<uint8_t>(readLsbFirst(bits, 0, 8)));
  if (crc != headerCrc(fields) || !mbps) return std::nullopt;
  return Header{*mbps, readLsbFirst(bits, 16, 16)};
}

double dqpskPhase(uint8_t d0, uint8_t d1) {
  static constexpr double kPhases[2][2] = {{0.0, kPi / 2}, {3 * kPi / 2, kPi}};
  return kPhases[d0 & 1][d1 & 1];
}

double cckQpskPhase(uint8_t d0, uint8_t d1) {
  return kPi / 2 * static_cast<double>(2 * (d0 & 1) + (d1 & 1));
}

std::array<Complex, 8> cckCodeWord(double p1, double p2, double p3, double p4) {
  auto e = [](double phase) { return std::polar(1.0, phase); };
  return {e(p1 + p2 + p3 + p4), e(p1 + p3 + p4), e(p1 + p2 + p4), -e(p1 + p4),
          e(p1 + p2 + p3),      e(p1 + p3),      -e(p1 + p2),     e(p1)};
}

}  // namespace tevra::dsp::dsss
