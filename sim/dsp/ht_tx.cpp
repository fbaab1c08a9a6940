#include "sim/dsp/ht_tx.h"

#include <stdexcept>

#include "sim/dsp/ht_phy.h"
#include "sim/dsp/ofdm_phy.h"
#include "sim/dsp/ofdm_tx.h"

namespace tevra::dsp {
namespace {

using Bins = std::array<Complex, ofdm::kFftSize>;

void append(Samples& out, const Samples& part) {
  out.insert(out.end(), part.begin(), part.end());
}

// One legacy-format symbol (48 data carriers, legacy pilots of symbol `index`); rotated by j for QBPSK.
Samples legacySymbol(const Bits& coded, size_t index, Complex rotation) {
  Bins bins{};
  for (size_t d = 0; d < ofdm::kDataCarriers; ++d)
    bins[ofdm::binOf(ofdm::dataCarriers()[d])] = ofdm::mapBits(&coded[d], 1) * rotation;
  auto pilots = ofdm::pilotValues(index);
  for (size_t p = 0; p < 4; ++p) bins[ofdm::binOf(ofdm::pilotCarriers()[p])] = pilots[p];
  return ofdm::modulateSymbol(bins, ofdm::kGuard);
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

}  // namespace

Samples synthesizeHt(const HtBurst& burst) {
  auto mcs = ht::mcsOf(burst.mcs);
  if (!mcs) throw std::invalid_argument("MCS must be 0 to 7");
  if (burst.psdu.empty() || burst.psdu.size() > ht::kMaxLength)
    throw std::invalid_argument("PSDU length out of range");
  if ((burst.scramblerSeed & 0x7f) == 0) throw std::invalid_argument("scrambler seed must not be zero");
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
  Bits coded = puncture(
      convolutionalEncode(scrambledDataBits(burst.psdu, mcs->dataBitsPerSymbol, burst.scramblerSeed)),
      mcs->code);
  for (size_t s = 0; s < symbols; ++s) {
    Bits symbol(coded.begin() + static_cast<std::ptrdiff_t>(s * mcs->codedBitsPerSymbol),
                coded.begin() + static_cast<std::ptrdiff_t>((s + 1) * mcs->codedBitsPerSymbol));
    Bits mixed = ht::interleave(symbol, mcs->bitsPerCarrier);
    append(out, htDataSymbol(mixed.data(), *mcs, s));
  }
  return out;
}

}  // namespace tevra::dsp
