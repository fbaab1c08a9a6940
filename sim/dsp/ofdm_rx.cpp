#include "sim/dsp/ofdm_rx.h"

#include <algorithm>
#include <array>
#include <optional>

#include "sim/dsp/carrier_pairs.h"
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
constexpr size_t kTimingPositions = kShortTraining + 64;  // where the long training may start after detection

double radiansPerSample(double hz) {
  return -2.0 * kPi * hz / kSampleRateHz;
}

double offsetOfPhase(double radians, size_t lag) {
  return radians / (2 * kPi * static_cast<double>(lag)) * kSampleRateHz;
}

// The first long training symbol and the fine offset, with the coarse offset taken out of the samples as
// the timing search reads them (the timing backs off into the guard interval).
struct LongTraining {
  size_t start;
  double fineHz;
};

LongTraining findLongTraining(const Samples& x, size_t detected, double coarseHz) {
  static const Samples reference = [] {
    Samples ltf = longTrainingField();
    return Samples(ltf.begin() + 32, ltf.begin() + 96);
  }();
  double step = radiansPerSample(coarseHz);
  size_t best = sync::twoSymbolMatch(x, reference, detected, detected + kTimingPositions, step);
  size_t start = best >= kTimingBackoff ? best - kTimingBackoff : best;
  // The coarse offset, which the samples still hold, turns the phase over the lag by step kFftSize.
  double lag = sync::lagPhase(x, start, kFftSize, kFftSize) + step * static_cast<double>(kFftSize);
  return {start, offsetOfPhase(unwrapOnto(lag, 0.0), kFftSize)};
}

// The loops over a window's samples and a symbol's carriers work on plain arrays that GCC may vectorize
// (they do not overlap).

// A window of complex samples (interleaved) times the turn, into `out`: the turn is given as its real part
// twice (`real`: c, c) and its imaginary part with the signs the product needs (`imaginary`: -s, s), so that
// each part of the product takes the sample and the sample with its parts swapped.
TEVRA_VECTOR_CLONES void turnWindow(const double* __restrict window, const double* __restrict real,
                                    const double* __restrict imaginary, double* __restrict out) {
  for (size_t m = 0; m < kFftSize; ++m) {
    double re = window[2 * m], im = window[2 * m + 1];
    out[2 * m] = re * real[2 * m] + im * imaginary[2 * m];
    out[2 * m + 1] = im * real[2 * m + 1] + re * imaginary[2 * m + 1];
  }
}

// Windows transformed back to back: between two 64-point transforms, the vector loops that fill and read
// them would each time slow the transform that follows.
constexpr size_t kTransformBlock = 8;
static_assert(kTransformBlock >= 2, "the channel estimate transforms both long training symbols at once");

Fft& forwardTransform() {
  thread_local Fft forward(kFftSize, Fft::Direction::kForward, kTransformBlock);
  return forward;
}

using PilotValues = std::array<Complex, 4>;

// The FFT bins of the pilots.
const std::array<size_t, 4>& pilotBins() {
  static const std::array<size_t, 4> bins = [] {
    std::array<size_t, 4> b{};
    for (size_t p = 0; p < b.size(); ++p) b[p] = binOf(pilotCarriers()[p]);
    return b;
  }();
  return bins;
}

// 1 / h at the pilots (0 where h is 0).
PilotValues pilotInverse(const Bins& h) {
  PilotValues inverse{};
  for (size_t p = 0; p < inverse.size(); ++p) {
    Complex channel = h[pilotBins()[p]];
    double norm = std::norm(channel);
    inverse[p] = norm > 0 ? std::conj(channel) / norm : Complex{};
  }
  return inverse;
}

// Each symbol's pilot bins (interleaved parts, 4 a symbol) equalized by `inverse` (1 / h at the pilots) and
// summed with their signs (4 a symbol); from the sum, the factor that takes out the symbol's common phase
// (the sum's conjugate direction; the carriers still lack their window's starting phase, which the factor
// absorbs, so without pilot energy it is that phase) and the sum turned by that phase.
TEVRA_VECTOR_CLONES void sumPilots(const double* __restrict bins, const double* __restrict signs,
                                   const double* __restrict inverse, const double* __restrict windowPhases,
                                   size_t symbols, double* __restrict derotations,
                                   double* __restrict turned) {
  for (size_t s = 0; s < symbols; ++s) {
    double re = 0, im = 0;
    for (size_t p = 0; p < 4; ++p) {
      double bRe = bins[8 * s + 2 * p], bIm = bins[8 * s + 2 * p + 1], sign = signs[4 * s + p];
      re += sign * (bRe * inverse[2 * p] - bIm * inverse[2 * p + 1]);
      im += sign * (bRe * inverse[2 * p + 1] + bIm * inverse[2 * p]);
    }
    double wRe = windowPhases[2 * s], wIm = windowPhases[2 * s + 1];
    double norm = re * re + im * im, unit = 1.0 / std::sqrt(norm > 0 ? norm : 1.0);
    derotations[2 * s] = norm > 0 ? re * unit : wRe;
    derotations[2 * s + 1] = norm > 0 ? -im * unit : wIm;
    turned[2 * s] = re * wRe - im * wIm;
    turned[2 * s + 1] = re * wIm + im * wRe;
  }
}

// The carriers of the bins y within the edge, equalized by h and turned back by the symbol's common phase
// (the transform's window phase already applied).
Bins equalize(const Complex* y, const Bins& h, const std::array<double, 4>& signs, int edge) {
  PilotValues values{}, inverse = pilotInverse(h);
  for (size_t p = 0; p < values.size(); ++p) values[p] = y[pilotBins()[p]];
  Complex windowPhase{1.0, 0.0}, derotation, turned;
  // std::complex<double> and arrays of it are arrays of their parts.
  sumPilots(reinterpret_cast<const double*>(values.data()), signs.data(),
            reinterpret_cast<const double*>(inverse.data()), reinterpret_cast<const double*>(&windowPhase), 1,
            reinterpret_cast<double*>(&derotation), reinterpret_cast<double*>(&turned));
  Bins out{};
  for (int k = -edge; k <= edge; ++k) {
    size_t bin = binOf(k);
    double norm = std::norm(h[bin]);
    if (k != 0 && norm > 0)
      out[bin] = multiplied(multiplied(y[bin], derotation), std::conj(h[bin])) * (1.0 / norm);
  }
  return out;
}

// What the DATA symbols of a burst carry and where: legacy (52 carriers) or HT (56).
struct DataLayout {
  int edge;
  std::array<double, 4> (*pilots)(size_t);  // of DATA symbol n, from 0
  size_t bitsPerCarrier;
  size_t firstWindow;  // FFT window of the first DATA symbol
  size_t symbols;
};

std::array<double, 4> legacyDataPilots(size_t symbol) {
  return pilotValues(symbol + 1);
}

// The carrier offset is taken out of each FFT window as it is transformed, so the capture is neither copied
// nor turned as a whole: sample n is turned by exp(j step n).
struct Receiver {
  const Samples& x;
  size_t t1 = 0;  // first long training symbol
  double step = 0;
  // exp(j step m) over a window, and laid out as turnWindow() takes it.
  alignas(kVectorAlignment) TurnTable turns{};
  alignas(kVectorAlignment) std::array<double, 2 * kFftSize> turnReal{};
  alignas(kVectorAlignment) std::array<double, 2 * kFftSize> turnImaginary{};
  Bins h{};
  Bins ltfSum{};

  void correctOffset(double hz) {
    step = radiansPerSample(hz);
    static_assert(std::tuple_size_v<TurnTable> == kFftSize);
    turns = turnTable(step);
    for (size_t m = 0; m < kFftSize; ++m) {
      turnReal[2 * m] = turnReal[2 * m + 1] = turns[m].real();
      turnImaginary[2 * m] = -turns[m].imag();
      turnImaginary[2 * m + 1] = turns[m].imag();
    }
  }
  Complex phaseAt(size_t n) const {
    return std::polar(1.0, std::fmod(step * static_cast<double>(n), 2.0 * kPi));
  }

  // Transforms `count` windows (at most kTransformBlock), kSymbol apart from `first`, each turned as if it
  // started at phase 0 (phaseAt() of its start is still to be applied). The bins of window i are
  // forwardTransform().output(i).
  void transformFromZeroPhase(size_t first, size_t count) const {
    Fft& fft = forwardTransform();
    // std::complex<double> is an array of its two parts.
    for (size_t i = 0; i < count; ++i)
      turnWindow(reinterpret_cast<const double*>(x.data() + first + kSymbol * i), turnReal.data(),
                 turnImaginary.data(), reinterpret_cast<double*>(fft.input(i)));
    for (size_t i = 0; i < count; ++i) fft.execute(i);
  }

  // The bins of the window at `at`, its phase from the capture's start applied, in slice `slice` of
  // forwardTransform().
  const Complex* transform(size_t at, size_t slice = 0) const {
    Fft& fft = forwardTransform();
    turnBlock(x.data() + at, fft.input(slice), turns.data(), phaseAt(at), kFftSize);
    fft.execute(slice);
    return fft.output(slice);
  }

  size_t symbolWindow(size_t symbol) const { return t1 + 128 + kSymbol * symbol + kGuard; }
  bool holds(size_t symbol) const { return symbolWindow(symbol) + kFftSize <= x.size(); }

  void estimateChannel() {
    // The training's values are +-1 on carriers -26..26 but 0, and 0 elsewhere.
    static const std::array<double, kFftSize> trainingSigns = [] {
      std::array<double, kFftSize> signs{};
      for (int k = -26; k <= 26; ++k) signs[binOf(k)] = longTrainingValue(k).real();
      return signs;
    }();
    const Complex *a = transform(t1, 0), *b = transform(t1 + 64, 1);
    for (size_t bin = 0; bin < kFftSize; ++bin) {
      ltfSum[bin] = (a[bin] + b[bin]) * trainingSigns[bin];
      h[bin] = ltfSum[bin] * 0.5;
    }
    h[0] = 1.0;
  }

  // The data carriers of a legacy-format symbol, equalized.
  Bins legacySymbol(size_t symbol) const {
    return equalize(transform(symbolWindow(symbol)), h, pilotValues(symbol), 26);
  }

  std::optional<SignalField> decodeSignal() const {
    if (!holds(0)) return std::nullopt;
    Bins eq = legacySymbol(0);
    const auto& carriers = dataCarriers();
    std::vector<double> soft(kDataCarriers);
    for (size_t d = 0; d < kDataCarriers; ++d) soft[d] = eq[binOf(carriers[d])].real();
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
    const Complex* y = transform(symbolWindow(4));
    Bins sum{};
    for (int k = -28; k <= 28; ++k) {
      if (k == 0) continue;
      sum[binOf(k)] = y[binOf(k)] * ht::longTrainingValue(k);
      h[binOf(k)] = sum[binOf(k)];
    }
    return sum;
  }
};

// The offset left after the training-based correction: the slope of the pilot phase over the symbols.
double residualOffsetHz(const std::vector<double>& phases) {
  return fitLine(phases).slope / (2 * kPi * static_cast<double>(kSymbol)) * kSampleRateHz;
}

double clockErrorPpm(const std::vector<double>& slopes) {
  return fitLine(slopes).slope * static_cast<double>(kFftSize) / (2 * kPi * static_cast<double>(kSymbol)) *
         1e6;
}

void measureFlatness(const CarrierPairs& h, int edge, OfdmAnalysis& result) {
  constexpr int kInner = 16;
  std::array<double, 2 * kPairLanes> energy{};
  size_t count = 0;
  double inner = 0;
  for (int k = -edge; k <= edge; ++k) {
    if (k == 0) continue;
    energy[count] = std::norm(h.at(k));
    if (std::abs(k) <= kInner) inner += energy[count] / (2 * kInner);
    ++count;
  }
  double toInner = 1.0 / inner;
  for (size_t i = 0; i < count; ++i) energy[i] *= toInner;
  result.flatnessDb.resize(count);
  decibelsOf(energy.data(), count, result.flatnessDb.data());
  double least = 1e9;
  for (int k = -edge, i = 0; k <= edge; ++k) {
    if (k == 0) continue;
    double d = result.flatnessDb[static_cast<size_t>(i++)];
    least = std::min(least, std::abs(k) <= kInner ? 2.0 - std::abs(d) : std::min(2.0 - d, d + 4.0));
  }
  result.flatnessMarginDb = least;
}

// The arrays over a burst's DATA symbols, reused from burst to burst so that they are neither allocated
// nor cleared anew.
struct DataScratch {
  static DataScratch& of(size_t symbols) {
    thread_local DataScratch scratch;
    scratch.received.resize(symbols);
    scratch.pilotSigns.resize(symbols);
    scratch.pilotBins.resize(symbols);
    scratch.turned.resize(symbols);
    scratch.windowPhases.resize(symbols);
    scratch.derotations.resize(symbols);
    scratch.changes.resize(symbols);
    scratch.phases.resize(symbols);
    scratch.slopes.resize(symbols);
    scratch.slopeSums.resize(symbols);
    scratch.sums.clear();
    return scratch;
  }
  std::vector<CarrierPairs> received;
  std::vector<std::array<double, 4>> pilotSigns;
  std::vector<PilotValues> pilotBins;
  std::vector<Complex> windowPhases, derotations, turned, changes;
  std::vector<double> phases, slopes;
  std::vector<SlopeSums> slopeSums;
  PairSums sums;
};

// The means over the DATA symbols' windows of the centre bin (as a sample value) and of the samples' power.
struct WindowMeans {
  Complex centre;
  double power;
};

// Transforms the DATA symbols into `data.received` with their windows' starting phases.
WindowMeans receiveSymbols(const Receiver& rx, size_t firstWindow, int edge, DataScratch& data) {
  constexpr size_t kPhaseBlock = 32;
  Complex symbolTurn = std::polar(1.0, rx.step * static_cast<double>(kSymbol)), dc{};
  double energy = 0;  // of the bins, kFftSize times the samples' (Parseval)
  size_t symbols = data.received.size();
  const std::array<size_t, 4>& pilots = pilotBins();
  for (size_t block = 0; block < symbols; block += kTransformBlock) {
    size_t count = std::min(kTransformBlock, symbols - block);
    rx.transformFromZeroPhase(firstWindow + kSymbol * block, count);
    for (size_t i = 0; i < count; ++i) {
      size_t s = block + i;
      const Complex* bins = forwardTransform().output(i);
      energy +=
          splitIntoPairs(reinterpret_cast<const double*>(bins), static_cast<size_t>(edge), data.received[s]);
      // Set exactly every kPhaseBlock symbols and advanced by a symbol's turn in between, like rotate().
      data.windowPhases[s] = s % kPhaseBlock ? multiplied(data.windowPhases[s - 1], symbolTurn)
                                             : rx.phaseAt(firstWindow + kSymbol * s);
      dc += multiplied(bins[0], data.windowPhases[s]);
      for (size_t p = 0; p < pilots.size(); ++p) data.pilotBins[s][p] = bins[pilots[p]];
    }
  }
  if (!symbols) return {};
  double windows = static_cast<double>(kFftSize) * static_cast<double>(symbols);
  return {dc / windows, energy / (static_cast<double>(kFftSize) * windows)};
}

CarrierPairs pairsOf(const Bins& bins, int edge) {
  CarrierPairs pairs{};
  for (int k = 1; k <= edge; ++k) {
    pairs.set(-k, bins[binOf(-k)]);
    pairs.set(k, bins[binOf(k)]);
  }
  return pairs;
}

// Each symbol's pilot phase, unwrapped, and the factor that takes it out. A phase is the one before it plus
// the angle between their pilot sums, which stays within +-pi as unwrapping requires; a symbol with no
// pilot energy keeps the phase before it.
void trackPilots(DataScratch& data, const Bins& h) {
  PilotValues inverse = pilotInverse(h);
  size_t symbols = data.received.size();
  // std::complex<double> and arrays of it are arrays of their parts.
  sumPilots(reinterpret_cast<const double*>(data.pilotBins.data()),
            reinterpret_cast<const double*>(data.pilotSigns.data()),
            reinterpret_cast<const double*>(inverse.data()),
            reinterpret_cast<const double*>(data.windowPhases.data()), symbols,
            reinterpret_cast<double*>(data.derotations.data()),
            reinterpret_cast<double*>(data.turned.data()));
  Complex previous{1.0, 0.0};
  for (size_t s = 0; s < symbols; ++s) {
    data.changes[s] = multiplied(data.turned[s], std::conj(previous));
    previous = std::norm(data.turned[s]) > 0 ? data.turned[s] : previous;
  }
  phasesOf(data.changes.data(), symbols, data.phases.data());
  for (size_t s = 1; s < symbols; ++s) data.phases[s] += data.phases[s - 1];
}

// EVM, the residual offset and the carrier leakage over the DATA symbols. `numerator` and `weight` hold the
// training's share of the least-squares channel estimate.
void measureData(const Receiver& rx, const Bins& numerator, double weightOfTraining, const DataLayout& layout,
                 OfdmAnalysis& result) {
  const Samples& x = rx.x;
  size_t available = x.size() >= layout.firstWindow + kFftSize
                         ? (x.size() - layout.firstWindow - kFftSize) / kSymbol + 1
                         : 0;
  size_t symbols = std::min(layout.symbols, available);
  DataScratch& data = DataScratch::of(symbols);
  WindowMeans means = receiveSymbols(rx, layout.firstWindow, layout.edge, data);
  for (size_t s = 0; s < symbols; ++s) data.pilotSigns[s] = layout.pilots(s);
  CarrierPairs h = pairsOf(rx.h, layout.edge);
  PilotPlaces places(pilotCarriers());
  CarrierPairs inverse = inverseOf(h);
  trackPilots(data, rx.h);
  AxisDecision axis(layout.bitsPerCarrier);
  PairDecision decision(axis, static_cast<size_t>(layout.edge), places);
  CarrierPairs scaled = timesScale(inverse, axis.scale());
  // A sampling clock that runs off slides the FFT window through the burst, which turns each symbol's phase
  // slope across the carriers by 2 pi e kSymbol / kFftSize a symbol for a clock error e. The residual phases
  // are small, so each carrier's phase weighted by its energy is Im(e conj(ideal)). The mirror carriers'
  // share would add Im(image conj(ideal(k) ideal(-k))) at k; carriers k and -k add it with opposite
  // weights, so it cancels.
  for (size_t s = 0; s < symbols; ++s) {
    decision.setPilots(data.pilotSigns[s]);
    data.slopeSums[s] = decideAndSum(data.received[s], data.derotations[s], scaled, decision, data.sums);
  }
  for (size_t s = 0; s < symbols; ++s) {
    const SlopeSums& slope = data.slopeSums[s];
    data.slopes[s] = slope.den > 0 ? slope.num / slope.den : 0.0;
  }
  // Least squares over the training and the decided data keeps the estimate's own noise out of the EVM.
  CarrierPairs refined = refinedChannel(pairsOf(numerator, layout.edge), weightOfTraining, data.sums);
  double error = refinedError(data.sums, inverse, inverseOf(refined));
  IqImbalance imbalance = iqImbalanceOfImageRatio(imageRatio(data.sums, decision));
  result.iqGainImbalanceDb = imbalance.gainDb;
  result.quadratureErrorDeg = imbalance.quadratureDeg;
  result.symbolClockErrorPpm = clockErrorPpm(data.slopes);
  measureFlatness(refined, layout.edge, result);
  result.symbols = symbols;
  result.frequencyErrorHz += residualOffsetHz(data.phases);
  double count = 2.0 * layout.edge;
  result.evmRms = symbols ? std::sqrt(error / (count * static_cast<double>(symbols))) : 0.0;
  if (symbols) result.iqOffsetDb = toDb(std::norm(means.centre) / means.power);
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
    measureData(rx, numerator, 1.0,
                {28, ht::pilotValues, htSig->mcs.bitsPerCarrier, rx.symbolWindow(5), symbols}, result);
    return;
  }
  size_t symbols = dataSymbols(signal.rate, signal.length);
  result.mbps = signal.rate.mbps;
  result.length = signal.length;
  result.burstSamples = kShortTraining + kLongTraining + kSymbol * (1 + symbols);
  measureData(rx, rx.ltfSum, 2.0,
              {26, legacyDataPilots, signal.rate.bitsPerCarrier, rx.symbolWindow(1), symbols}, result);
}

}  // namespace

OfdmAnalysis analyzeOfdm(const Samples& input) {
  OfdmAnalysis result;
  size_t from = 0;
  for (size_t attempt = 0; attempt < kDecodeAttempts; ++attempt) {
    auto detected = sync::detectShortTraining(input, from, kShortPeriod);
    if (!detected || *detected + kShortTraining + kLongTraining + kSymbol > input.size()) return result;
    double coarse = offsetOfPhase(sync::lagPhase(input, *detected, 96, 16), 16);
    LongTraining training = findLongTraining(input, *detected, coarse);
    Receiver rx{input};
    rx.t1 = training.start;
    rx.correctOffset(coarse + training.fineHz);
    rx.estimateChannel();
    auto signal = rx.decodeSignal();
    if (!signal) {
      from = *detected + kShortTraining + kLongTraining;
      continue;
    }
    result.found = true;
    result.frequencyErrorHz = coarse + training.fineHz;
    measureBurst(rx, *signal, result);
    return result;
  }
  return result;
}

}  // namespace tevra::dsp
