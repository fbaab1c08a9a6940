#include "sim/dsp/ofdm_rx.h"

#include <algorithm>
#include <array>
#include <optional>

#include "sim/dsp/convolutional.h"
#include "sim/dsp/fft.h"
#include "sim/dsp/ht_phy.h"
#include "sim/dsp/impairments.h"
#include "sim/dsp/ofdm_phy.h"
#include "sim/dsp/ofdm_sync.h"
#include "sim/dsp/ofdm_tx.h"

namespace tevra::dsp {
namespace {

using namespace ofdm;
using Bins = std::array<Complex, kFftSize>;

constexpr size_t kShortPeriod = 16;
constexpr size_t kTimingBackoff = 8;
constexpr size_t kDecodeAttempts = 4;

void derotate(Samples& x, size_t from, size_t to, double hz) {
  rotate(x, from, -2.0 * kPi * hz / kSampleRateHz, to);
}

// The start of the first long training symbol: the best match of the known symbol twice, 64 apart.
size_t longTrainingStart(const Samples& x, size_t detected) {
  static const Samples reference = [] {
    Samples ltf = longTrainingField();
    return Samples(ltf.begin() + 32, ltf.begin() + 96);
  }();
  size_t best = sync::twoSymbolMatch(x, reference, detected, detected + kShortTraining + 64);
  return best >= kTimingBackoff ? best - kTimingBackoff : best;
}

Bins transform(const Samples& x, size_t at) {
  thread_local Fft forward(kFftSize, Fft::Direction::kForward);
  Bins out;
  forward.run(x.data() + at, out.data());
  return out;
}

// a / b without the library's complex division, which guards against infinities that a channel estimate
// never holds and costs a call per carrier.
Complex divided(Complex a, Complex b) {
  return a * std::conj(b) / std::norm(b);
}

// The common phase of a symbol from its pilots, equalized by h.
double pilotPhase(const Bins& y, const Bins& h, const std::array<double, 4>& pilots) {
  Complex sum{};
  for (size_t p = 0; p < 4; ++p) {
    size_t bin = binOf(pilotCarriers()[p]);
    sum += divided(y[bin], h[bin]) * pilots[p];
  }
  return std::arg(sum);
}

Bins equalize(const Bins& y, const Bins& h, const std::array<double, 4>& pilots, int edge) {
  Complex derotation = std::polar(1.0, -pilotPhase(y, h, pilots));
  Bins out{};
  for (int k = -edge; k <= edge; ++k)
    if (k != 0) out[binOf(k)] = divided(y[binOf(k)] * derotation, h[binOf(k)]);
  return out;
}

// What the DATA symbols of a burst carry and where: legacy (52 carriers) or HT (56).
struct DataLayout {
  int edge;
  std::vector<int> data;
  std::array<double, 4> (*pilots)(size_t);  // of DATA symbol n, from 0
  size_t bitsPerCarrier;
  size_t firstWindow;  // FFT window of the first DATA symbol
  size_t symbols;
};

std::array<double, 4> legacyDataPilots(size_t symbol) {
  return pilotValues(symbol + 1);
}

// The samples are derotated by the offset estimate only as far as they are used: the preamble and header
// symbols at first, the DATA field once the header has told its length.
struct Receiver {
  Samples x;
  double offsetHz = 0;
  size_t derotatedTo = 0;
  size_t t1 = 0;  // first long training symbol

  void derotateThrough(size_t end) {
    if (end <= derotatedTo) return;
    derotate(x, derotatedTo, end, offsetHz);
    derotatedTo = end;
  }
  Bins h{};
  Bins ltfSum{};

  size_t symbolWindow(size_t symbol) const { return t1 + 128 + kSymbol * symbol + kGuard; }
  bool holds(size_t symbol) const { return symbolWindow(symbol) + kFftSize <= x.size(); }

  void estimateChannel() {
    Bins a = transform(x, t1), b = transform(x, t1 + 64);
    for (int k = -26; k <= 26; ++k) {
      size_t bin = binOf(k);
      ltfSum[bin] = (a[bin] + b[bin]) * longTrainingValue(k);
      h[bin] = k == 0 ? Complex{1.0, 0.0} : ltfSum[bin] / 2.0;
    }
  }

  // The data carriers of a legacy-format symbol, equalized.
  Bins legacySymbol(size_t symbol) const {
    return equalize(transform(x, symbolWindow(symbol)), h, pilotValues(symbol), 26);
  }

  std::optional<SignalField> decodeSignal() const {
    if (!holds(0)) return std::nullopt;
    Bins eq = legacySymbol(0);
    std::vector<double> soft(kDataCarriers);
    for (size_t d = 0; d < kDataCarriers; ++d) soft[d] = eq[binOf(dataCarriers()[d])].real();
    return parseSignal(viterbiDecode(deinterleave(soft, 1)));
  }

  // HT-SIG, when the two symbols after SIGNAL are QBPSK (their energy on the quadrature axis).
  std::optional<ht::SigField> decodeHtSig() const {
    if (!holds(2)) return std::nullopt;
    std::vector<double> soft;
    double inPhase = 0, quadrature = 0;
    for (size_t symbol = 1; symbol <= 2; ++symbol) {
      Bins eq = legacySymbol(symbol);
      std::vector<double> part(kDataCarriers);
      for (size_t d = 0; d < kDataCarriers; ++d) {
        Complex v = eq[binOf(dataCarriers()[d])];
        part[d] = v.imag();
        inPhase += v.real() * v.real();
        quadrature += v.imag() * v.imag();
      }
      part = deinterleave(part, 1);
      soft.insert(soft.end(), part.begin(), part.end());
    }
    if (quadrature < 2 * inPhase) return std::nullopt;
    return ht::parseSig(viterbiDecode(soft));
  }

  // The channel from the HT long training symbol over 56 carriers.
  Bins htTraining() {
    Bins y = transform(x, symbolWindow(4));
    Bins sum{};
    for (int k = -28; k <= 28; ++k) {
      if (k == 0) continue;
      sum[binOf(k)] = y[binOf(k)] * ht::longTrainingValue(k);
      h[binOf(k)] = sum[binOf(k)];
    }
    return sum;
  }
};

// The ideal values of a DATA symbol's carriers, decided from the equalized ones.
Bins decide(const Bins& equalized, const DataLayout& layout, size_t symbol) {
  Bins ideal{};
  for (int k : layout.data) ideal[binOf(k)] = nearestPoint(equalized[binOf(k)], layout.bitsPerCarrier);
  auto pilots = layout.pilots(symbol);
  for (size_t p = 0; p < 4; ++p) ideal[binOf(pilotCarriers()[p])] = pilots[p];
  return ideal;
}

// The offset left after the training-based correction: the slope of the pilot phase over the symbols.
double residualOffsetHz(const std::vector<double>& phases) {
  return fitLine(phases).slope / (2 * kPi * static_cast<double>(kSymbol)) * kSampleRateHz;
}

// The mirror signal's share (nu/mu of mu x + nu conj(x), which an IQ imbalance adds): for each data carrier,
// the least-squares fit of the derotated carrier to its ideal value and the mirror carrier's conjugate ideal
// value, averaged over the carriers. The channel and the common phase scale both terms alike.
Complex imageRatio(const std::vector<Bins>& received, const std::vector<Bins>& ideal,
                   const std::vector<double>& phases, const DataLayout& layout) {
  std::vector<Complex> derotations(received.size());
  for (size_t s = 0; s < received.size(); ++s) derotations[s] = std::polar(1.0, -phases[s]);
  Complex sum{};
  size_t carriers = 0;
  for (int k : layout.data) {
    if (std::find(layout.data.begin(), layout.data.end(), -k) == layout.data.end()) continue;
    double r11 = 0, r22 = 0;
    Complex r12{}, y1{}, y2{};
    for (size_t s = 0; s < received.size(); ++s) {
      Complex a = ideal[s][binOf(k)], b = std::conj(ideal[s][binOf(-k)]);
      Complex y = received[s][binOf(k)] * derotations[s];
      r11 += std::norm(a);
      r22 += std::norm(b);
      r12 += std::conj(a) * b;
      y1 += std::conj(a) * y;
      y2 += std::conj(b) * y;
    }
    double det = r11 * r22 - std::norm(r12);
    if (det <= 1e-9 * r11 * r22) continue;
    Complex direct = (r22 * y1 - r12 * y2) / det, mirror = (r11 * y2 - std::conj(r12) * y1) / det;
    if (std::abs(direct) == 0) continue;
    sum += divided(mirror, direct);
    ++carriers;
  }
  return carriers ? sum / static_cast<double>(carriers) : Complex{};
}

// A symbol's phase slope across the carriers (radians a carrier), equalized against its ideal values and
// fitted by least squares weighted by the carriers' energy: a sampling clock that runs off slides the FFT
// window through the burst, which turns this slope by 2 pi e kSymbol / kFftSize a symbol for a clock error e.
// The residual phases are small, so each carrier's weighted phase is the imaginary part of z = eq
// conj(ideal). The mirror carriers' share (`image`) is taken out first, since it would turn the slope at
// random.
double carrierPhaseSlope(const Bins& equalized, const Bins& ideal, Complex image, int edge) {
  double num = 0, den = 0;
  for (int k = -edge; k <= edge; ++k) {
    if (k == 0) continue;
    Complex z = (equalized[binOf(k)] - image * std::conj(ideal[binOf(-k)])) * std::conj(ideal[binOf(k)]);
    num += k * z.imag();
    den += k * k * std::norm(ideal[binOf(k)]);
  }
  return den > 0 ? num / den : 0.0;
}

double clockErrorPpm(const std::vector<double>& slopes) {
  return fitLine(slopes).slope * static_cast<double>(kFftSize) / (2 * kPi * static_cast<double>(kSymbol)) *
         1e6;
}

void measureFlatness(const Bins& h, int edge, OfdmAnalysis& result) {
  constexpr int kInner = 16;
  double inner = 0;
  for (int k = -kInner; k <= kInner; ++k)
    if (k != 0) inner += std::norm(h[binOf(k)]) / (2 * kInner);
  result.flatnessDb.clear();
  result.flatnessMarginDb = 1e9;
  for (int k = -edge; k <= edge; ++k) {
    if (k == 0) continue;
    double d = toDb(std::norm(h[binOf(k)]) / inner);
    result.flatnessDb.push_back(d);
    double margin = std::abs(k) <= kInner ? 2.0 - std::abs(d) : std::min(2.0 - d, d + 4.0);
    result.flatnessMarginDb = std::min(result.flatnessMarginDb, margin);
  }
}

// EVM, the residual offset and the carrier leakage over the DATA symbols. `numerator` and `weight` hold the
// training's share of the least-squares channel estimate.
void measureData(const Samples& x, Bins h, Bins numerator, double weightOfTraining, const DataLayout& layout,
                 OfdmAnalysis& result) {
  size_t available = x.size() >= layout.firstWindow + kFftSize
                         ? (x.size() - layout.firstWindow - kFftSize) / kSymbol + 1
                         : 0;
  size_t symbols = std::min(layout.symbols, available);
  std::vector<Bins> received(symbols), ideal(symbols);
  std::array<double, kFftSize> weight;
  weight.fill(weightOfTraining);
  Complex dc{};
  double power = 0.0;
  std::vector<double> phases(symbols);
  for (size_t s = 0; s < symbols; ++s) {
    size_t window = layout.firstWindow + kSymbol * s;
    received[s] = transform(x, window);
    ideal[s] = decide(equalize(received[s], h, layout.pilots(s), layout.edge), layout, s);
    double phase = pilotPhase(received[s], h, layout.pilots(s));
    phases[s] = s ? unwrapOnto(phase, phases[s - 1]) : phase;
    Complex derotation = std::polar(1.0, -phase);
    for (int k = -layout.edge; k <= layout.edge; ++k) {
      if (k == 0) continue;
      size_t bin = binOf(k);
      numerator[bin] += received[s][bin] * derotation * std::conj(ideal[s][bin]);
      weight[bin] += std::norm(ideal[s][bin]);
    }
    dc += received[s][0] / static_cast<double>(kFftSize);
    power += meanPower(x, window, kFftSize);
  }
  // Least squares over the training and the decided data keeps the estimate's own noise out of the EVM.
  for (int k = -layout.edge; k <= layout.edge; ++k)
    if (k != 0) h[binOf(k)] = numerator[binOf(k)] / weight[binOf(k)];
  double error = 0.0;
  Complex image = imageRatio(received, ideal, phases, layout);
  std::vector<double> slopes(symbols);
  for (size_t s = 0; s < symbols; ++s) {
    Bins eq = equalize(received[s], h, layout.pilots(s), layout.edge);
    for (int k = -layout.edge; k <= layout.edge; ++k)
      if (k != 0) error += std::norm(eq[binOf(k)] - ideal[s][binOf(k)]);
    slopes[s] = carrierPhaseSlope(eq, ideal[s], image, layout.edge);
  }
  IqImbalance imbalance = iqImbalanceOfImageRatio(image);
  result.iqGainImbalanceDb = imbalance.gainDb;
  result.quadratureErrorDeg = imbalance.quadratureDeg;
  result.symbolClockErrorPpm = clockErrorPpm(slopes);
  measureFlatness(h, layout.edge, result);
  double carriers = 2.0 * layout.edge;
  result.symbols = symbols;
  result.frequencyErrorHz += residualOffsetHz(phases);
  result.evmRms = symbols ? std::sqrt(error / (carriers * static_cast<double>(symbols))) : 0.0;
  if (symbols)
    result.iqOffsetDb =
        toDb(std::norm(dc / static_cast<double>(symbols)) / (power / static_cast<double>(symbols)));
}

// Measures the DATA field after a decoded SIGNAL: HT when HT-SIG follows a 6 Mbit/s SIGNAL, else legacy.
void measureBurst(Receiver& rx, const SignalField& signal, OfdmAnalysis& result) {
  size_t ltfStart = rx.t1 + kTimingBackoff;
  result.burstStart = ltfStart >= kShortTraining + 32 ? ltfStart - kShortTraining - 32 : 0;
  auto htSig = signal.rate.mbps == 6 ? rx.decodeHtSig() : std::nullopt;
  if (htSig && rx.holds(4)) {
    size_t symbols = ht::dataSymbols(htSig->mcs, htSig->length);
    result.ht = true;
    result.mcs = htSig->mcs.index;
    result.length = htSig->length;
    result.burstSamples = kShortTraining + kLongTraining + kSymbol * (5 + symbols);
    Bins numerator = rx.htTraining();
    DataLayout layout{28,
                      {ht::dataCarriers().begin(), ht::dataCarriers().end()},
                      ht::pilotValues,
                      htSig->mcs.bitsPerCarrier,
                      rx.symbolWindow(5),
                      symbols};
    rx.derotateThrough(layout.firstWindow + kSymbol * symbols);
    measureData(rx.x, rx.h, numerator, 1.0, layout, result);
    return;
  }
  size_t symbols = dataSymbols(signal.rate, signal.length);
  result.mbps = signal.rate.mbps;
  result.length = signal.length;
  result.burstSamples = kShortTraining + kLongTraining + kSymbol * (1 + symbols);
  DataLayout layout{26,
                    {dataCarriers().begin(), dataCarriers().end()},
                    legacyDataPilots,
                    signal.rate.bitsPerCarrier,
                    rx.symbolWindow(1),
                    symbols};
  rx.derotateThrough(layout.firstWindow + kSymbol * symbols);
  measureData(rx.x, rx.h, rx.ltfSum, 2.0, layout, result);
}

}  // namespace

OfdmAnalysis analyzeOfdm(const Samples& input) {
  OfdmAnalysis result;
  size_t from = 0;
  for (size_t attempt = 0; attempt < kDecodeAttempts; ++attempt) {
    auto detected = sync::detectShortTraining(input, from, kShortPeriod);
    if (!detected || *detected + kShortTraining + kLongTraining + kSymbol > input.size()) return result;
    Receiver rx{input};
    // Through HT-LTF, the last header symbol of an HT-mixed burst.
    size_t headerEnd = std::min(input.size(), *detected + kShortTraining + kLongTraining + 7 * kSymbol);
    double coarse = sync::lagPhase(rx.x, *detected, 96, 16) / (2 * kPi * 16) * kSampleRateHz;
    derotate(rx.x, *detected, headerEnd, coarse);
    rx.t1 = longTrainingStart(rx.x, *detected);
    double fine = sync::lagPhase(rx.x, rx.t1, 64, 64) / (2 * kPi * 64) * kSampleRateHz;
    derotate(rx.x, *detected, headerEnd, fine);
    rx.offsetHz = coarse + fine;
    rx.derotatedTo = headerEnd;
    rx.estimateChannel();
    auto signal = rx.decodeSignal();
    if (!signal) {
      from = *detected + kShortTraining + kLongTraining;
      continue;
    }
    result.found = true;
    result.frequencyErrorHz = coarse + fine;
    measureBurst(rx, *signal, result);
    return result;
  }
  return result;
}

}  // namespace tevra::dsp
