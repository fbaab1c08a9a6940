#include "sim/dsp/ht40_rx.h"

#include <array>
#include <optional>
#include <vector>

#include "sim/dsp/convolutional.h"
#include "sim/dsp/fft.h"
#include "sim/dsp/ht_phy.h"
#include "sim/dsp/ht_tx.h"
#include "sim/dsp/ofdm_phy.h"
#include "sim/dsp/ofdm_sync.h"

namespace tevra::dsp {
namespace {

namespace wide = ht::wide;
using Bins = std::array<Complex, wide::kFftSize>;

constexpr size_t kShortPeriod = 32;
constexpr size_t kShortTraining = 320;
constexpr size_t kLongTraining = 320;
constexpr size_t kLongGuard = 64;
constexpr size_t kTimingBackoff = 16;  // into the guard interval, away from the previous symbol's tail
constexpr size_t kDecodeAttempts = 4;
constexpr size_t kPreambleSymbols = 5;  // SIGNAL, two HT-SIG, HT-STF, HT-LTF
constexpr int kHalf = wide::kHalfOffset;

Bins transform(const Samples& x, size_t at) {
  thread_local Fft forward(wide::kFftSize, Fft::Direction::kForward);
  Bins out;
  forward.run(x.data() + at, out.data());
  return out;
}

size_t bin(int carrier) {
  return wide::binOf(carrier);
}

const std::vector<int>& occupiedCarriers() {
  static const std::vector<int> carriers = [] {
    std::vector<int> c;
    for (int k = -58; k <= 58; ++k)
      if (std::abs(k) >= 2) c.push_back(k);
    return c;
  }();
  return carriers;
}

struct Pilots {
  std::vector<int> carriers;
  std::vector<double> values;
};

// The legacy pilots of a SIGNAL or HT-SIG symbol, in both halves.
Pilots legacyPilots(size_t symbol) {
  Pilots p;
  auto values = ofdm::pilotValues(symbol);
  for (size_t i = 0; i < 4; ++i) {
    for (int offset : {-kHalf, kHalf}) {
      p.carriers.push_back(ofdm::pilotCarriers()[i] + offset);
      p.values.push_back(values[i]);
    }
  }
  return p;
}

Pilots dataPilots(size_t symbol) {
  auto values = wide::pilotValues(symbol);
  return {{wide::pilotCarriers().begin(), wide::pilotCarriers().end()}, {values.begin(), values.end()}};
}

// The common phase of a symbol from its pilots, equalized by h. The channel estimates hold the upper half's
// rotation, so the values compare unrotated.
double pilotPhase(const Bins& y, const Bins& h, const Pilots& pilots) {
  Complex sum{};
  for (size_t i = 0; i < pilots.carriers.size(); ++i) {
    size_t b = bin(pilots.carriers[i]);
    sum += y[b] / h[b] * pilots.values[i];
  }
  return std::arg(sum);
}

struct Receiver {
  Samples x;
  size_t t1 = 0;  // first legacy long training symbol, less the timing backoff
  Bins h{};

  size_t window(size_t symbol) const {
    return t1 + 2 * wide::kFftSize + wide::kSymbol * symbol + wide::kGuard;
  }
  bool holds(size_t symbol) const { return window(symbol) + wide::kFftSize <= x.size(); }

  void estimateLegacyChannel() {
    Bins a = transform(x, t1), b = transform(x, t1 + wide::kFftSize);
    for (int k = -26; k <= 26; ++k) {
      if (k == 0) continue;
      for (int offset : {-kHalf, kHalf})
        h[bin(k + offset)] = (a[bin(k + offset)] + b[bin(k + offset)]) / 2.0 * ofdm::longTrainingValue(k);
    }
  }

  // The 48 data values of a legacy-format symbol with both halves equalized and combined.
  std::vector<Complex> legacyData(size_t symbol) const {
    Bins y = transform(x, window(symbol));
    Complex derotation = std::polar(1.0, -pilotPhase(y, h, legacyPilots(symbol)));
    std::vector<Complex> out(ofdm::kDataCarriers);
    for (size_t d = 0; d < out.size(); ++d) {
      int k = ofdm::dataCarriers()[d];
      out[d] =
          (y[bin(k - kHalf)] / h[bin(k - kHalf)] + y[bin(k + kHalf)] / h[bin(k + kHalf)]) * derotation / 2.0;
    }
    return out;
  }

  std::optional<ofdm::SignalField> decodeSignal() const {
    if (!holds(0)) return std::nullopt;
    std::vector<double> soft;
    for (Complex v : legacyData(0)) soft.push_back(v.real());
    return ofdm::parseSignal(viterbiDecode(ofdm::deinterleave(soft, 1)));
  }

  std::optional<ht::SigField> decodeHtSig() const {
    if (!holds(2)) return std::nullopt;
    std::vector<double> soft;
    for (size_t symbol = 1; symbol <= 2; ++symbol) {
      std::vector<double> part;
      for (Complex v : legacyData(symbol)) part.push_back(v.imag());
      part = ofdm::deinterleave(part, 1);
      soft.insert(soft.end(), part.begin(), part.end());
    }
    return ht::parseSig(viterbiDecode(soft), true);
  }

  // The channel over the 114 occupied carriers from HT-LTF; returns the least-squares numerator it starts.
  Bins estimateHtChannel() {
    Bins y = transform(x, window(4));
    Bins numerator{};
    for (int k : occupiedCarriers()) {
      numerator[bin(k)] = y[bin(k)] * wide::longTrainingValue(k);
      h[bin(k)] = numerator[bin(k)];
    }
    return numerator;
  }
};

// The ideal carrier values of DATA symbol s: the nearest constellation points and the known pilots.
Bins decide(const Bins& y, const Bins& h, Complex derotation, size_t bitsPerCarrier, size_t s) {
  Bins ideal{};
  for (int k : wide::dataCarriers())
    ideal[bin(k)] = ofdm::nearestPoint(y[bin(k)] * derotation / h[bin(k)], bitsPerCarrier);
  Pilots pilots = dataPilots(s);
  for (size_t i = 0; i < pilots.carriers.size(); ++i) ideal[bin(pilots.carriers[i])] = pilots.values[i];
  return ideal;
}

double offsetHz(double phase, size_t lag) {
  return phase / (2 * kPi * static_cast<double>(lag)) * wide::kSampleRateHz;
}

void measureData(const Receiver& rx, Bins numerator, const ht::Mcs& mcs, size_t wanted,
                 OfdmAnalysis& result) {
  const Samples& x = rx.x;
  size_t first = rx.window(kPreambleSymbols);
  size_t available =
      x.size() >= first + wide::kFftSize ? (x.size() - first - wide::kFftSize) / wide::kSymbol + 1 : 0;
  size_t symbols = std::min(wanted, available);
  std::vector<Bins> received(symbols), ideal(symbols);
  Bins weight;
  weight.fill(1.0);
  std::vector<double> phases(symbols);
  Complex dc{};
  double power = 0.0;
  for (size_t s = 0; s < symbols; ++s) {
    size_t at = first + wide::kSymbol * s;
    received[s] = transform(x, at);
    double phase = pilotPhase(received[s], rx.h, dataPilots(s));
    phases[s] = s ? unwrapOnto(phase, phases[s - 1]) : phase;
    Complex derotation = std::polar(1.0, -phase);
    ideal[s] = decide(received[s], rx.h, derotation, mcs.bitsPerCarrier, s);
    for (int k : occupiedCarriers()) {
      numerator[bin(k)] += received[s][bin(k)] * derotation * std::conj(ideal[s][bin(k)]);
      weight[bin(k)] += std::norm(ideal[s][bin(k)]);
    }
    dc += received[s][0] / static_cast<double>(wide::kFftSize);
    power += meanPower(x, at, wide::kFftSize);
  }
  // Least squares over the training and the decided data keeps the estimate's own noise out of the EVM.
  Bins h = rx.h;
  for (int k : occupiedCarriers()) h[bin(k)] = numerator[bin(k)] / weight[bin(k)];
  double error = 0.0;
  for (size_t s = 0; s < symbols; ++s) {
    Complex derotation = std::polar(1.0, -pilotPhase(received[s], h, dataPilots(s)));
    for (int k : occupiedCarriers())
      error += std::norm(received[s][bin(k)] * derotation / h[bin(k)] - ideal[s][bin(k)]);
  }
  auto count = static_cast<double>(symbols);
  result.symbols = symbols;
  result.frequencyErrorHz += offsetHz(fitLine(phases).slope, wide::kSymbol);
  if (symbols == 0) return;
  result.evmRms = std::sqrt(error / (static_cast<double>(occupiedCarriers().size()) * count));
  result.iqOffsetDb = toDb(std::norm(dc / count) / (power / count));
}

void derotate(Samples& x, size_t from, double hz) {
  rotate(x, from, -2.0 * kPi * hz / wide::kSampleRateHz);
}

}  // namespace

OfdmAnalysis analyzeHt40(const Samples& input) {
  static const Samples reference = wideLegacyTrainingSymbol();
  OfdmAnalysis result;
  size_t from = 0;
  for (size_t attempt = 0; attempt < kDecodeAttempts; ++attempt) {
    auto detected = sync::detectShortTraining(input, from, kShortPeriod);
    if (!detected || *detected + kShortTraining + kLongTraining + wide::kSymbol > input.size()) return result;
    Receiver rx{input};
    double coarse = offsetHz(sync::lagPhase(rx.x, *detected, 6 * kShortPeriod, kShortPeriod), kShortPeriod);
    derotate(rx.x, *detected, coarse);
    size_t ltf =
        sync::twoSymbolMatch(rx.x, reference, *detected, *detected + kShortTraining + 2 * kLongGuard);
    rx.t1 = ltf >= kTimingBackoff ? ltf - kTimingBackoff : ltf;
    double fine = offsetHz(sync::lagPhase(rx.x, rx.t1, wide::kFftSize, wide::kFftSize), wide::kFftSize);
    derotate(rx.x, *detected, fine);
    rx.estimateLegacyChannel();
    auto signal = rx.decodeSignal();
    auto sig = signal && signal->rate.mbps == 6 ? rx.decodeHtSig() : std::nullopt;
    if (!sig || !rx.holds(kPreambleSymbols - 1)) {
      from = *detected + kShortTraining + kLongTraining;
      continue;
    }
    size_t symbols = ht::dataSymbols(sig->mcs, sig->length);
    result.found = true;
    result.ht = true;
    result.mcs = sig->mcs.index;
    result.length = sig->length;
    result.frequencyErrorHz = coarse + fine;
    result.burstStart = ltf >= kShortTraining + kLongGuard ? ltf - kShortTraining - kLongGuard : 0;
    result.burstSamples = kShortTraining + kLongTraining + wide::kSymbol * (kPreambleSymbols + symbols);
    measureData(rx, rx.estimateHtChannel(), sig->mcs, symbols, result);
    return result;
  }
  return result;
}

}  // namespace tevra::dsp
