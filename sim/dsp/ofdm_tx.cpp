#include "sim/dsp/ofdm_tx.h"

#include <random>
#include <stdexcept>

#include "sim/dsp/fft.h"

namespace tevra::dsp {
namespace ofdm {

Samples modulateSymbol(const std::array<Complex, kFftSize>& bins, size_t guard, size_t occupied) {
  thread_local Fft inverse(kFftSize, Fft::Direction::kInverse);
  std::array<Complex, kFftSize> time;
  inverse.run(bins.data(), time.data());
  Samples out(guard + kFftSize);
  double norm = 1.0 / std::sqrt(static_cast<double>(occupied));
  for (size_t n = 0; n < guard + kFftSize; ++n) out[n] = time[(n + kFftSize - guard) % kFftSize] * norm;
  return out;
}

Samples shortTrainingField() {
  std::array<Complex, kFftSize> bins{};
  for (int k = -26; k <= 26; ++k) bins[binOf(k)] = shortTrainingValue(k);
  Samples period = modulateSymbol(bins, 0);
  Samples out(kShortTraining);
  for (size_t n = 0; n < out.size(); ++n) out[n] = period[n % kFftSize];
  return out;
}

Samples longTrainingField() {
  std::array<Complex, kFftSize> bins{};
  for (int k = -26; k <= 26; ++k) bins[binOf(k)] = longTrainingValue(k);
  Samples symbol = modulateSymbol(bins, 0);
  Samples out(kLongTraining);
  for (size_t n = 0; n < out.size(); ++n) out[n] = symbol[(n + kFftSize - 32) % kFftSize];
  return out;
}

}  // namespace ofdm

namespace {

using namespace ofdm;

Samples dataSymbol(const uint8_t* bits, const Rate& rate, size_t symbolIndex) {
  std::array<Complex, kFftSize> bins{};
  for (size_t d = 0; d < kDataCarriers; ++d)
    bins[binOf(dataCarriers()[d])] = mapBits(bits + d * rate.bitsPerCarrier, rate.bitsPerCarrier);
  auto pilots = pilotValues(symbolIndex);
  for (size_t p = 0; p < 4; ++p) bins[binOf(pilotCarriers()[p])] = pilots[p];
  return modulateSymbol(bins, kGuard);
}

Rate checkedRate(const OfdmBurst& burst) {
  auto rate = rateOfMbps(burst.mbps);
  if (!rate) throw std::invalid_argument("no OFDM rate of that many Mbps");
  if (burst.psdu.empty() || burst.psdu.size() > kMaxLength)
    throw std::invalid_argument("PSDU length out of range");
  if ((burst.scramblerSeed & 0x7f) == 0) throw std::invalid_argument("scrambler seed must not be zero");
  return *rate;
}

Bits codeAndInterleave(const Bits& bits, const Rate& rate) {
  Bits coded = puncture(convolutionalEncode(bits), rate.code);
  Bits out;
  out.reserve(coded.size());
  for (size_t at = 0; at < coded.size(); at += rate.codedBitsPerSymbol) {
    Bits symbol(coded.begin() + static_cast<std::ptrdiff_t>(at),
                coded.begin() + static_cast<std::ptrdiff_t>(at + rate.codedBitsPerSymbol));
    Bits mixed = interleave(symbol, rate.bitsPerCarrier);
    out.insert(out.end(), mixed.begin(), mixed.end());
  }
  return out;
}

}  // namespace

Bits scrambledDataBits(const std::vector<uint8_t>& psdu, size_t dataBitsPerSymbol, uint8_t seed) {
  size_t symbols = (16 + 8 * psdu.size() + 6 + dataBitsPerSymbol - 1) / dataBitsPerSymbol;
  Bits bits(symbols * dataBitsPerSymbol, 0);
  for (size_t i = 0; i < psdu.size(); ++i)
    for (size_t b = 0; b < 8; ++b) bits[16 + 8 * i + b] = static_cast<uint8_t>((psdu[i] >> b) & 1);
  Bits scrambled = scramble(bits, seed);
  size_t tail = 16 + 8 * psdu.size();
  for (size_t i = 0; i < 6; ++i) scrambled[tail + i] = 0;
  return scrambled;
}

Bits ofdmDataBits(const OfdmBurst& burst) {
  Rate rate = checkedRate(burst);
  return codeAndInterleave(scrambledDataBits(burst.psdu, rate.dataBitsPerSymbol, burst.scramblerSeed), rate);
}

Samples synthesizeOfdm(const OfdmBurst& burst) {
  Rate rate = checkedRate(burst);
  Samples out = shortTrainingField();
  Samples ltf = longTrainingField();
  out.insert(out.end(), ltf.begin(), ltf.end());
  Rate signalRate = rates()[0];
  Bits signal = codeAndInterleave(signalBits(rate, burst.psdu.size()), signalRate);
  Samples symbol = dataSymbol(signal.data(), signalRate, 0);
  out.insert(out.end(), symbol.begin(), symbol.end());
  Bits data = ofdmDataBits(burst);
  for (size_t s = 0; s * rate.codedBitsPerSymbol < data.size(); ++s) {
    symbol = dataSymbol(data.data() + s * rate.codedBitsPerSymbol, rate, s + 1);
    out.insert(out.end(), symbol.begin(), symbol.end());
  }
  return out;
}

Samples burstTrain(const Samples& burst, size_t count, size_t idleSamples) {
  Samples out;
  out.reserve((burst.size() + idleSamples) * count);
  for (size_t i = 0; i < count; ++i) {
    out.insert(out.end(), burst.begin(), burst.end());
    out.insert(out.end(), idleSamples, Complex{});
  }
  return out;
}

std::vector<uint8_t> randomPayload(size_t length, uint32_t seed) {
  std::mt19937 engine(seed);
  std::vector<uint8_t> bytes(length);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(engine() & 0xff);
  return bytes;
}

}  // namespace tevra::dsp
