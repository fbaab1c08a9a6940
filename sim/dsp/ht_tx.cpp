#include "sim/dsp/ht_tx.h"

#include <cmath>
#include <stdexcept>

#include "sim/dsp/fft.h"
#include "sim/dsp/ht_phy.h"
#include "sim/dsp/ofdm_phy.h"
#include "sim/dsp/ofdm_tx.h"

namespace tevra::dsp {
namespace {

using Bins = std::array<Complex, ofdm::kFftSize>;
using WideBins = std::array<Complex, ht::wide::kFftSize>;

void append(Samples& out, const Samples& part) {
  out.insert(out.end(), part.begin(), part.end());
}

// The carriers of one legacy-format symbol (48 data carriers, legacy pilots of symbol `index`); rotated by j
// for QBPSK.
Bins legacyBins(const Bits& coded, size_t index, Complex rotation) {
  Bins bins{};
  for (size_t d = 0; d < ofdm::kDataCarriers; ++d)
    bins[ofdm::binOf(ofdm::dataCarriers()[d])] = ofdm::mapBits(&coded[d], 1) * rotation;
  auto pilots = ofdm::pilotValues(index);
  for (size_t p = 0; p < 4; ++p) bins[ofdm::binOf(ofdm::pilotCarriers()[p])] = pilots[p];
  return bins;
}

Samples legacySymbol(const Bits& coded, size_t index, Complex rotation) {
  return ofdm::modulateSymbol(legacyBins(coded, index, rotation), ofdm::kGuard);
}

Bits codedLegacy(const Bits& bits) {
  Bits coded = convolutionalEncode(bits);
  Bits out;
  for (size_t at = 0; at < coded.size(); at += 48) {
    Bits mixed = ofdm::interleave(Bits(coded.begin() + static_cast<std::ptrdiff_t>(at),
                                       coded.begin() + static_cast<std::ptrdiff_t>(at + 48)),
                                  1);
    out.insert(out.end(), mixed.begin(), mixed.end());
  }
  return out;
}

Samples htTraining() {
  Bins bins{};
  for (int k = -28; k <= 28; ++k) bins[ofdm::binOf(k)] = ht::longTrainingValue(k);
  return ofdm::modulateSymbol(bins, ofdm::kGuard, ht::kOccupied);
}

Samples htDataSymbol(const uint8_t* bits, const ht::Mcs& mcs, size_t index) {
  Bins bins{};
  for (size_t d = 0; d < ht::kDataCarriers; ++d)
    bins[ofdm::binOf(ht::dataCarriers()[d])] =
        ofdm::mapBits(bits + d * mcs.bitsPerCarrier, mcs.bitsPerCarrier);
  auto pilots = ht::pilotValues(index);
  for (size_t p = 0; p < 4; ++p) bins[ofdm::binOf(ofdm::pilotCarriers()[p])] = pilots[p];
  return ofdm::modulateSymbol(bins, ofdm::kGuard, ht::kOccupied);
}

Bits codedData(const HtBurst& burst, const ht::Mcs& mcs) {
  return puncture(
      convolutionalEncode(scrambledDataBits(burst.psdu, mcs.dataBitsPerSymbol, burst.scramblerSeed)),
      mcs.code);
}

Bits symbolBits(const Bits& coded, size_t symbol, size_t perSymbol) {
  return Bits(coded.begin() + static_cast<std::ptrdiff_t>(symbol * perSymbol),
              coded.begin() + static_cast<std::ptrdiff_t>((symbol + 1) * perSymbol));
}

void checkBurst(const HtBurst& burst) {
  if (burst.psdu.empty() || burst.psdu.size() > ht::kMaxLength)
    throw std::invalid_argument("PSDU length out of range");
  if ((burst.scramblerSeed & 0x7f) == 0) throw std::invalid_argument("scrambler seed must not be zero");
}

namespace wide = ht::wide;

// One 40 MHz symbol: the 128 carriers transformed and scaled for unit power over the occupied ones, with a
// cyclic prefix of `guard` samples; `length` samples of the periodic signal when it is longer than a symbol.
Samples modulateWide(const WideBins& bins, size_t guard, size_t occupied, size_t length = 0) {
  thread_local Fft inverse(wide::kFftSize, Fft::Direction::kInverse);
  WideBins time;
  inverse.run(bins.data(), time.data());
  double norm = 1.0 / std::sqrt(static_cast<double>(occupied));
  Samples out(length ? length : guard + wide::kFftSize);
  for (size_t n = 0; n < out.size(); ++n)
    out[n] = time[(n + wide::kFftSize - guard % wide::kFftSize) % wide::kFftSize] * norm;
  return out;
}

// A 20 MHz field sent in both halves of the channel, the upper one turned by 90 degrees.
template <typename Value>
WideBins duplicated(Value value20) {
  WideBins bins{};
  for (int k = -28; k <= 28; ++k) {
    bins[wide::binOf(k - wide::kHalfOffset)] = value20(k);
    bins[wide::binOf(k + wide::kHalfOffset)] = value20(k) * wide::upperRotation(k + wide::kHalfOffset);
  }
  return bins;
}

WideBins duplicated(const Bins& bins20) {
  return duplicated([&bins20](int k) { return bins20[ofdm::binOf(k)]; });
}

Samples wideHtTraining() {
  WideBins bins{};
  for (int k = -58; k <= 58; ++k) bins[wide::binOf(k)] = wide::longTrainingValue(k) * wide::upperRotation(k);
  return modulateWide(bins, wide::kGuard, wide::kOccupied);
}

Samples wideDataSymbol(const uint8_t* bits, const ht::Mcs& mcs, size_t index) {
  WideBins bins{};
  for (size_t d = 0; d < wide::kDataCarriers; ++d) {
    int k = wide::dataCarriers()[d];
    bins[wide::binOf(k)] =
        ofdm::mapBits(bits + d * mcs.bitsPerCarrier, mcs.bitsPerCarrier) * wide::upperRotation(k);
  }
  auto pilots = wide::pilotValues(index);
  for (size_t p = 0; p < 6; ++p) {
    int k = wide::pilotCarriers()[p];
    bins[wide::binOf(k)] = pilots[p] * wide::upperRotation(k);
  }
  return modulateWide(bins, wide::kGuard, wide::kOccupied);
}

// Occupied carriers of a duplicated legacy field: 52 in each half.
constexpr size_t kDuplicatedOccupied = 104;

Samples synthesizeWideHt(const HtBurst& burst) {
  auto mcs = wide::mcsOf(burst.mcs);
  if (!mcs) throw std::invalid_argument("MCS must be 0 to 7");
  size_t symbols = ht::dataSymbols(*mcs, burst.psdu.size());
  WideBins shortTraining = duplicated(ofdm::shortTrainingValue);
  Samples out = modulateWide(shortTraining, 0, kDuplicatedOccupied, 2 * ofdm::kShortTraining);
  WideBins longTraining = duplicated(ofdm::longTrainingValue);
  append(out, modulateWide(longTraining, wide::kFftSize / 2, kDuplicatedOccupied, 2 * ofdm::kLongTraining));
  Bits legacySignal = codedLegacy(ofdm::signalBits(ofdm::rates()[0], ht::legacyLength(symbols)));
  append(out, modulateWide(duplicated(legacyBins(legacySignal, 0, 1.0)), wide::kGuard, kDuplicatedOccupied));
  Bits sig = codedLegacy(ht::sigBits(*mcs, burst.psdu.size(), true));
  for (size_t half = 0; half < 2; ++half) {
    Bits part(sig.begin() + static_cast<std::ptrdiff_t>(48 * half),
              sig.begin() + static_cast<std::ptrdiff_t>(48 * (half + 1)));
    append(out, modulateWide(duplicated(legacyBins(part, half + 1, Complex{0.0, 1.0})), wide::kGuard,
                             kDuplicatedOccupied));
  }
  append(out, modulateWide(shortTraining, 0, kDuplicatedOccupied, wide::kSymbol));
  append(out, wideHtTraining());
  Bits coded = codedData(burst, *mcs);
  for (size_t s = 0; s < symbols; ++s) {
    Bits mixed = wide::interleave(symbolBits(coded, s, mcs->codedBitsPerSymbol), mcs->bitsPerCarrier);
    append(out, wideDataSymbol(mixed.data(), *mcs, s));
  }
  return out;
}

}  // namespace

Samples wideLegacyTrainingSymbol() {
  return modulateWide(duplicated(ofdm::longTrainingValue), 0, kDuplicatedOccupied);
}

Samples synthesizeHt(const HtBurst& burst) {
  checkBurst(burst);
  if (burst.wide) return synthesizeWideHt(burst);
  auto mcs = ht::mcsOf(burst.mcs);
  if (!mcs) throw std::invalid_argument("MCS must be 0 to 7");
  size_t symbols = ht::dataSymbols(*mcs, burst.psdu.size());
  Samples out = ofdm::shortTrainingField();
  append(out, ofdm::longTrainingField());
  Bits legacySignal = codedLegacy(ofdm::signalBits(ofdm::rates()[0], ht::legacyLength(symbols)));
  append(out, legacySymbol(legacySignal, 0, 1.0));
  Bits sig = codedLegacy(ht::sigBits(*mcs, burst.psdu.size()));
  append(out, legacySymbol(Bits(sig.begin(), sig.begin() + 48), 1, Complex{0.0, 1.0}));
  append(out, legacySymbol(Bits(sig.begin() + 48, sig.end()), 2, Complex{0.0, 1.0}));
  Samples stf = ofdm::shortTrainingField();
  append(out, Samples(stf.begin(), stf.begin() + static_cast<std::ptrdiff_t>(ofdm::kSymbol)));
  append(out, htTraining());
  Bits coded = codedData(burst, *mcs);
  for (size_t s = 0; s < symbols; ++s) {
    Bits mixed = ht::interleave(symbolBits(coded, s, mcs->codedBitsPerSymbol), mcs->bitsPerCarrier);
    append(out, htDataSymbol(mixed.data(), *mcs, s));
  }
  return out;
}

}  // namespace tevra::dsp
