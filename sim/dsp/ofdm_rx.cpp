#include "sim/dsp/ofdm_rx.h"

#include <algorithm>
#include <array>
#include <numeric>
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
constexpr size_t kMostCarriers = 56;                      // HT
constexpr size_t kTimingPositions = kShortTraining + 64;  // where the long training may start after detection

double radiansPerSample(double hz) {
  return -2.0 * kPi * hz / kSampleRateHz;
}

double offsetOfPhase(double radians, size_t lag) {
  return radians / (2 * kPi * static_cast<double>(lag)) * kSampleRateHz;
}

// The first long training symbol and the fine offset, on the capture with the coarse offset taken out. Only
// the samples that the timing search and the fine estimate read are turned: those from just before the
// detection on (the timing backs off into the guard interval) to the last candidate's second symbol.
struct LongTraining {
  size_t start;
  double fineHz;
};

LongTraining findLongTraining(const Samples& x, size_t detected, double coarseHz) {
  static const Samples reference = [] {
    Samples ltf = longTrainingField();
    return Samples(ltf.begin() + 32, ltf.begin() + 96);
  }();
  size_t origin = detected >= kTimingBackoff ? detected - kTimingBackoff : 0;
  size_t end = std::min(x.size(), detected + kTimingPositions + 2 * kFftSize);
  Samples near(x.begin() + static_cast<std::ptrdiff_t>(origin), x.begin() + static_cast<std::ptrdiff_t>(end));
  rotate(near, 0, radiansPerSample(coarseHz));
  size_t best =
      origin + sync::twoSymbolMatch(near, reference, detected - origin, detected - origin + kTimingPositions);
  size_t start = best >= kTimingBackoff ? best - kTimingBackoff : best;
  return {start, offsetOfPhase(sync::lagPhase(near, start - origin, kFftSize, kFftSize), kFftSize)};
}

// The loops over a window's samples and a symbol's carriers work on plain arrays that GCC may vectorize
// (they do not overlap).

// The occupied carriers of a transform (interleaved parts) in their order -edge..-1, 1..edge, split into
// their real and imaginary parts.
TEVRA_VECTOR_CLONES void splitCarriers(const double* __restrict bins, size_t half, double* __restrict re,
                                       double* __restrict im) {
  const double* negative = bins + 2 * (kFftSize - half);
  for (size_t c = 0; c < half; ++c) {
    re[c] = negative[2 * c];
    im[c] = negative[2 * c + 1];
    re[half + c] = bins[2 * (c + 1)];
    im[half + c] = bins[2 * (c + 1) + 1];
  }
}

// A window of complex samples (interleaved) times the turn, into `out`: the turn is given as its real part
// twice (`real`: c, c) and its imaginary part with the signs the product needs (`imaginary`: -s, s), so that
// each part of the product takes the sample and the sample with its parts swapped. Each part's square is
// added to `energy` (128 values).
TEVRA_VECTOR_CLONES void turnWindow(const double* __restrict window, const double* __restrict real,
                                    const double* __restrict imaginary, double* __restrict out,
                                    double* __restrict energy) {
  for (size_t m = 0; m < kFftSize; ++m) {
    double re = window[2 * m], im = window[2 * m + 1];
    out[2 * m] = re * real[2 * m] + im * imaginary[2 * m];
    out[2 * m + 1] = im * real[2 * m + 1] + re * imaginary[2 * m + 1];
    energy[2 * m] += re * re;
    energy[2 * m + 1] += im * im;
  }
}

Fft& forwardTransform() {
  thread_local Fft forward(kFftSize, Fft::Direction::kForward);
  return forward;
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
  // exp(j step m) over a window, laid out as turnWindow() takes it.
  std::array<double, 2 * kFftSize> turnReal{}, turnImaginary{};
  Bins h{};
  Bins ltfSum{};

  void correctOffset(double hz) {
    step = radiansPerSample(hz);
    // A running phasor: over one window its rounding stays far below a part in 1e12.
    Complex advance = std::polar(1.0, step), turn = 1.0;
    for (size_t m = 0; m < kFftSize; ++m, turn = multiplied(turn, advance)) {
      turnReal[2 * m] = turnReal[2 * m + 1] = turn.real();
      turnImaginary[2 * m] = -turn.imag();
      turnImaginary[2 * m + 1] = turn.imag();
    }
  }
  Complex phaseAt(size_t n) const {
    return std::polar(1.0, std::fmod(step * static_cast<double>(n), 2.0 * kPi));
  }

  // Transforms the window at `at` turned as if it started at phase 0 (phaseAt(at) is still to be applied);
  // adds its samples' energy to `energy` (by parts). The bins are forwardTransform().output().
  const Complex* transformFromZeroPhase(size_t at, std::array<double, 2 * kFftSize>& energy) const {
    Fft& fft = forwardTransform();
    // std::complex<double> is an array of its two parts.
    turnWindow(reinterpret_cast<const double*>(x.data() + at), turnReal.data(), turnImaginary.data(),
               reinterpret_cast<double*>(fft.input()), energy.data());
    fft.execute();
    return fft.output();
  }

  Bins transform(size_t at) const {
    std::array<double, 2 * kFftSize> energy{};
    const Complex* bins = transformFromZeroPhase(at, energy);
    Complex phase = phaseAt(at);
    Bins out;
    for (size_t k = 0; k < kFftSize; ++k) out[k] = multiplied(bins[k], phase);
    return out;
  }

  size_t symbolWindow(size_t symbol) const { return t1 + 128 + kSymbol * symbol + kGuard; }
  bool holds(size_t symbol) const { return symbolWindow(symbol) + kFftSize <= x.size(); }

  void estimateChannel() {
    Bins a = transform(t1), b = transform(t1 + 64);
    for (int k = -26; k <= 26; ++k) {
      size_t bin = binOf(k);
      ltfSum[bin] = (a[bin] + b[bin]) * longTrainingValue(k);
      h[bin] = k == 0 ? Complex{1.0, 0.0} : ltfSum[bin] / 2.0;
    }
  }

  // The data carriers of a legacy-format symbol, equalized.
  Bins legacySymbol(size_t symbol) const {
    return equalize(transform(symbolWindow(symbol)), h, pilotValues(symbol), 26);
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
    Bins y = transform(symbolWindow(4));
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

void measureFlatness(const Bins& h, int edge, OfdmAnalysis& result) {
  constexpr int kInner = 16;
  double inner = 0;
  for (int k = -kInner; k <= kInner; ++k)
    if (k != 0) inner += std::norm(h[binOf(k)]) / (2 * kInner);
  result.flatnessDb.clear();
  result.flatnessDb.reserve(static_cast<size_t>(2 * edge));
  result.flatnessMarginDb = 1e9;
  for (int k = -edge; k <= edge; ++k) {
    if (k == 0) continue;
    double d = toDb(std::norm(h[binOf(k)]) / inner);
    result.flatnessDb.push_back(d);
    double margin = std::abs(k) <= kInner ? 2.0 - std::abs(d) : std::min(2.0 - d, d + 4.0);
    result.flatnessMarginDb = std::min(result.flatnessMarginDb, margin);
  }
}

// The occupied carriers -edge..-1, 1..edge in this order, so that carrier c's mirror (-k) is count - 1 - c.
// Values over them are kept as separate real and imaginary arrays, so that the loops over the carriers
// vectorize.
struct Carriers {
  explicit Carriers(int edge) : edge(edge), count(static_cast<size_t>(2 * edge)) {
    number.reserve(count);
    for (size_t c = 0; c < count; ++c) number.push_back(static_cast<double>(carrier(c)));
    for (size_t p = 0; p < 4; ++p) pilots[p] = index(pilotCarriers()[p]);
  }
  int carrier(size_t c) const {
    int k = static_cast<int>(c) - edge;
    return k < 0 ? k : k + 1;
  }
  size_t index(int k) const { return static_cast<size_t>(k < 0 ? k + edge : k + edge - 1); }
  size_t mirror(size_t c) const { return count - 1 - c; }

  int edge;
  size_t count;
  std::vector<double> number;
  std::array<size_t, 4> pilots{};
};

struct ComplexArray {
  ComplexArray() = default;
  explicit ComplexArray(size_t size) : re(size), im(size) {}
  void resize(size_t size) {
    re.resize(size);
    im.resize(size);
  }
  void clear(size_t size) {
    re.assign(size, 0.0);
    im.assign(size, 0.0);
  }
  Complex at(size_t n) const { return {re[n], im[n]}; }
  void set(size_t n, Complex v) {
    re[n] = v.real();
    im[n] = v.imag();
  }
  std::vector<double> re, im;
};

// 1 / h over the occupied carriers.
ComplexArray inverseOf(const ComplexArray& h) {
  ComplexArray inverse(h.re.size());
  for (size_t c = 0; c < h.re.size(); ++c) {
    double norm = h.re[c] * h.re[c] + h.im[c] * h.im[c];
    inverse.re[c] = h.re[c] / norm;
    inverse.im[c] = -h.im[c] / norm;
  }
  return inverse;
}

// A symbol's pilots equalized by 1 / h (`inverse`) and summed, each times its sign.
Complex pilotSum(const ComplexArray& y, size_t first, const ComplexArray& inverse, const Carriers& carriers,
                 const std::array<double, 4>& pilots) {
  Complex sum{};
  for (size_t p = 0; p < 4; ++p) {
    size_t c = carriers.pilots[p];
    sum += multiplied(y.at(first + c), inverse.at(c)) * pilots[p];
  }
  return sum;
}

// The factor that takes out a symbol's common phase, the conjugate direction of its pilot sum. The
// carriers still lack their window's starting phase (`windowPhase`), which the factor absorbs.
Complex derotationOf(Complex pilots, Complex windowPhase) {
  double norm = std::norm(pilots);
  return norm > 0 ? std::conj(pilots) * (1.0 / std::sqrt(norm)) : windowPhase;
}

// The received and decided carriers of every DATA symbol, symbol after symbol, and the sums over the
// symbols that the least-squares channel and the mirror carriers' share take, per carrier, with t the carrier
// turned by its symbol's common phase: the data's share of the channel's numerator (t conj(ideal)) and
// weight (|ideal|^2), the mirror's correlation with the carrier (ideal(-k) t) and the product of the two
// ideal values, conjugated.
struct DataCarriers {
  // Reused from burst to burst, so that the arrays over the symbols are neither allocated nor cleared anew.
  static DataCarriers& of(size_t symbols, size_t count) {
    thread_local DataCarriers data;
    data.received.resize(symbols * count);
    data.ideal.resize(symbols * count);
    for (ComplexArray* sum : {&data.numerator, &data.mirrored, &data.cross}) sum->clear(count);
    data.weight.assign(count, 0.0);
    return data;
  }
  ComplexArray received, ideal, numerator, mirrored, cross;
  std::vector<double> weight;
};

// t = y d, the symbol's carriers turned by its common phase, and the nearest points to t / h (`inverse`).
TEVRA_VECTOR_CLONES void decideCarriers(size_t count, const double* __restrict yRe,
                                        const double* __restrict yIm, Complex d, const double* __restrict gRe,
                                        const double* __restrict gIm, const AxisDecision axis,
                                        double* __restrict tRe, double* __restrict tIm,
                                        double* __restrict iRe, double* __restrict iIm) {
  double dRe = d.real(), dIm = d.imag(), scale = axis.scale();
  double quadrature = axis.quadrature() ? 1.0 : 0.0;  // a factor: a branch would keep the loop scalar
  for (size_t c = 0; c < count; ++c) {
    double re = yRe[c] * dRe - yIm[c] * dIm, im = yRe[c] * dIm + yIm[c] * dRe;
    tRe[c] = re;
    tIm[c] = im;
    iRe[c] = axis.level((re * gRe[c] - im * gIm[c]) * scale);
    iIm[c] = axis.level((re * gIm[c] + im * gRe[c]) * scale) * quadrature;
  }
}

// Adds a symbol's share to the sums over the symbols (DataCarriers): t conj(ideal), |ideal|^2,
// ideal(-k) t and conj(ideal ideal(-k)).
TEVRA_VECTOR_CLONES void sumCarriers(size_t count, const double* __restrict tRe, const double* __restrict tIm,
                                     const double* __restrict iRe, const double* __restrict iIm,
                                     double* __restrict nRe, double* __restrict nIm,
                                     double* __restrict weight, double* __restrict mRe,
                                     double* __restrict mIm, double* __restrict xRe, double* __restrict xIm) {
  for (size_t c = 0; c < count; ++c) {
    size_t m = count - 1 - c;
    nRe[c] += tRe[c] * iRe[c] + tIm[c] * iIm[c];
    nIm[c] += tIm[c] * iRe[c] - tRe[c] * iIm[c];
    weight[c] += iRe[c] * iRe[c] + iIm[c] * iIm[c];
    mRe[c] += iRe[m] * tRe[c] - iIm[m] * tIm[c];
    mIm[c] += iRe[m] * tIm[c] + iIm[m] * tRe[c];
    xRe[c] += iRe[c] * iRe[m] - iIm[c] * iIm[m];
    xIm[c] -= iRe[c] * iIm[m] + iIm[c] * iRe[m];
  }
}

// e = y d / h: the squared error e - ideal added to `error`; returns the phase slope's sums over the
// carriers, of k Im(e conj(ideal)) and of k^2 |ideal|^2, which may be taken in any order.
struct SlopeSums {
  double num, den;
};

TEVRA_VECTOR_CLONES SlopeSums compareCarriers(size_t count, const double* __restrict yRe,
                                              const double* __restrict yIm, Complex d,
                                              const double* __restrict gRe, const double* __restrict gIm,
                                              const double* __restrict iRe, const double* __restrict iIm,
                                              const double* __restrict number, double* __restrict error) {
  double dRe = d.real(), dIm = d.imag(), num = 0, den = 0;
#pragma omp simd reduction(+ : num, den)
  for (size_t c = 0; c < count; ++c) {
    double fRe = gRe[c] * dRe - gIm[c] * dIm, fIm = gRe[c] * dIm + gIm[c] * dRe;
    double eRe = yRe[c] * fRe - yIm[c] * fIm, eIm = yRe[c] * fIm + yIm[c] * fRe;
    double xRe = eRe - iRe[c], xIm = eIm - iIm[c];
    error[c] += xRe * xRe + xIm * xIm;
    num += number[c] * (eIm * iRe[c] - eRe * iIm[c]);
    den += number[c] * number[c] * (iRe[c] * iRe[c] + iIm[c] * iIm[c]);
  }
  return {num, den};
}

// Decides the carriers of a symbol (y turned by `derotation`, equalized by `inverse`) and adds them to the
// sums.
void decideAndSum(DataCarriers& data, size_t first, Complex derotation, const ComplexArray& inverse,
                  const AxisDecision& axis, const Carriers& carriers, const std::array<double, 4>& pilots) {
  size_t count = carriers.count;
  double* iRe = &data.ideal.re[first];
  double* iIm = &data.ideal.im[first];
  std::array<double, kMostCarriers> tRe, tIm;
  decideCarriers(count, &data.received.re[first], &data.received.im[first], derotation, inverse.re.data(),
                 inverse.im.data(), axis, tRe.data(), tIm.data(), iRe, iIm);
  for (size_t p = 0; p < 4; ++p) {
    iRe[carriers.pilots[p]] = pilots[p];
    iIm[carriers.pilots[p]] = 0.0;
  }
  sumCarriers(count, tRe.data(), tIm.data(), iRe, iIm, data.numerator.re.data(), data.numerator.im.data(),
              data.weight.data(), data.mirrored.re.data(), data.mirrored.im.data(), data.cross.re.data(),
              data.cross.im.data());
}

// The mirror signal's share (nu/mu of mu x + nu conj(x), which an IQ imbalance adds): for each data carrier,
// the least-squares fit of the derotated carrier to its ideal value and the mirror carrier's conjugate ideal
// value, averaged over the carriers. The channel and the common phase scale both terms alike.
Complex imageRatio(const DataCarriers& data, const Carriers& carriers) {
  Complex sum{};
  size_t fitted = 0;
  for (size_t c = 0; c < carriers.count; ++c) {
    if (std::find(carriers.pilots.begin(), carriers.pilots.end(), c) != carriers.pilots.end()) continue;
    double r11 = data.weight[c], r22 = data.weight[carriers.mirror(c)];
    Complex r12 = data.cross.at(c), y1 = data.numerator.at(c), y2 = data.mirrored.at(c);
    double det = r11 * r22 - std::norm(r12);
    if (det <= 1e-9 * r11 * r22) continue;
    Complex direct = (r22 * y1 - r12 * y2) / det, mirror = (r11 * y2 - std::conj(r12) * y1) / det;
    if (std::norm(direct) == 0) continue;
    sum += divided(mirror, direct);
    ++fitted;
  }
  return fitted ? sum / static_cast<double>(fitted) : Complex{};
}

// A symbol's squared error against its ideal values, added per carrier to `error`, and its phase slope
// across the carriers (radians a carrier), fitted by least squares weighted by the carriers' energy: a
// sampling clock that runs off slides the FFT window through the burst, which turns this slope by
// 2 pi e kSymbol / kFftSize a symbol for a clock error e. The residual phases are small, so each carrier's
// weighted phase is the imaginary part of z = eq conj(ideal). The mirror carriers' share would add
// Im(image conj(ideal(k) ideal(-k))) at k; carriers k and -k add it with opposite weights, so it cancels.
double errorAndSlope(const DataCarriers& data, size_t first, Complex derotation, const ComplexArray& inverse,
                     const Carriers& carriers, std::vector<double>& error) {
  SlopeSums sums = compareCarriers(carriers.count, &data.received.re[first], &data.received.im[first],
                                   derotation, inverse.re.data(), inverse.im.data(), &data.ideal.re[first],
                                   &data.ideal.im[first], carriers.number.data(), error.data());
  return sums.den > 0 ? sums.num / sums.den : 0.0;
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
  Carriers carriers(layout.edge);
  size_t count = carriers.count, half = count / 2;
  ComplexArray h(count), training(count);
  for (size_t c = 0; c < count; ++c) {
    h.set(c, rx.h[binOf(carriers.carrier(c))]);
    training.set(c, numerator[binOf(carriers.carrier(c))]);
  }
  ComplexArray inverse = inverseOf(h);
  DataCarriers& data = DataCarriers::of(symbols, count);
  AxisDecision axis(layout.bitsPerCarrier);
  std::array<double, 2 * kFftSize> energy{};
  Complex dc{};
  std::vector<double> phases(symbols);
  std::vector<Complex> windowPhases(symbols);
  constexpr size_t kPhaseBlock = 32;
  Complex symbolTurn = std::polar(1.0, rx.step * static_cast<double>(kSymbol));
  for (size_t s = 0; s < symbols; ++s) {
    size_t window = layout.firstWindow + kSymbol * s, first = s * count;
    const Complex* bins = rx.transformFromZeroPhase(window, energy);
    // Carriers -edge..-1 are the top bins, 1..edge the bottom ones.
    splitCarriers(reinterpret_cast<const double*>(bins), half, &data.received.re[first],
                  &data.received.im[first]);
    // Set exactly every kPhaseBlock symbols and advanced by a symbol's turn in between, like rotate().
    windowPhases[s] = s % kPhaseBlock ? multiplied(windowPhases[s - 1], symbolTurn) : rx.phaseAt(window);
    dc += multiplied(bins[0], windowPhases[s]) * (1.0 / kFftSize);
  }
  // Symbol after symbol in separate loops, so that one symbol's square roots and divisions overlap the
  // next one's instead of holding up its decisions.
  std::vector<std::array<double, 4>> pilotSigns(symbols);
  std::vector<Complex> pilots(symbols), derotations(symbols);
  for (size_t s = 0; s < symbols; ++s) {
    pilotSigns[s] = layout.pilots(s);
    pilots[s] = pilotSum(data.received, s * count, inverse, carriers, pilotSigns[s]);
    derotations[s] = derotationOf(pilots[s], windowPhases[s]);
  }
  for (size_t s = 0; s < symbols; ++s) {
    double phase = std::arg(multiplied(pilots[s], windowPhases[s]));
    phases[s] = s ? unwrapOnto(phase, phases[s - 1]) : phase;
  }
  for (size_t s = 0; s < symbols; ++s)
    decideAndSum(data, s * count, derotations[s], inverse, axis, carriers, pilotSigns[s]);
  // Least squares over the training and the decided data keeps the estimate's own noise out of the EVM.
  for (size_t c = 0; c < count; ++c)
    h.set(c, (training.at(c) + data.numerator.at(c)) / (weightOfTraining + data.weight[c]));
  inverse = inverseOf(h);
  Complex image = imageRatio(data, carriers);
  std::vector<double> error(count), slopes(symbols);
  for (size_t s = 0; s < symbols; ++s)
    derotations[s] =
        derotationOf(pilotSum(data.received, s * count, inverse, carriers, pilotSigns[s]), windowPhases[s]);
  for (size_t s = 0; s < symbols; ++s)
    slopes[s] = errorAndSlope(data, s * count, derotations[s], inverse, carriers, error);
  IqImbalance imbalance = iqImbalanceOfImageRatio(image);
  result.iqGainImbalanceDb = imbalance.gainDb;
  result.quadratureErrorDeg = imbalance.quadratureDeg;
  result.symbolClockErrorPpm = clockErrorPpm(slopes);
  Bins refined{};
  for (size_t c = 0; c < count; ++c) refined[binOf(carriers.carrier(c))] = h.at(c);
  measureFlatness(refined, layout.edge, result);
  result.symbols = symbols;
  result.frequencyErrorHz += residualOffsetHz(phases);
  result.evmRms = symbols ? std::sqrt(std::accumulate(error.begin(), error.end(), 0.0) /
                                      (static_cast<double>(count) * static_cast<double>(symbols)))
                          : 0.0;
  double power = 0.0;
  for (double e : energy) power += e / static_cast<double>(kFftSize);
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
