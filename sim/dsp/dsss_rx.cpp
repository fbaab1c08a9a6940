#include "sim/dsp/dsss_rx.h"

#include <complex>
// liquid.h takes std::complex<float> for its complex type when <complex> comes first.
#include <liquid/liquid.h>

#include <algorithm>
#include <optional>

#include "sim/dsp/burst_power.h"
#include "sim/dsp/dsss_tx.h"
#include "sim/dsp/fft.h"

namespace tevra::dsp {
namespace {

using namespace dsss;

constexpr size_t kSmoothing = 44;  // 1 us
constexpr size_t kGap = 176;       // 4 us
constexpr size_t kEdgeChips = 2 * kFilterSymbols;
constexpr size_t kTrackChips = 88;

// Halfway in dB between the quiet and the busy parts of the input (the 1st and 95th percentiles of its
// smoothed power), so that noise between bursts stays below it; but from 5 to 10 dB below the busy part, so
// that a capture without a gap is found whole.
double burstThreshold(const Samples& x) {
  std::vector<double> smoothed;
  double window = 0;
  for (size_t n = 0; n < x.size(); ++n) {
    window += std::norm(x[n]) - (n >= kSmoothing ? std::norm(x[n - kSmoothing]) : 0.0);
    if (n + 1 >= kSmoothing) smoothed.push_back(window / kSmoothing);
  }
  auto at = [&smoothed](double fraction) {
    auto nth =
        smoothed.begin() + static_cast<std::ptrdiff_t>(fraction * static_cast<double>(smoothed.size() - 1));
    std::nth_element(smoothed.begin(), nth, smoothed.end());
    return std::max(*nth, 1e-30);
  };
  double quiet = at(0.01), busy = at(0.95);
  return std::max(busy / 10, std::min(std::sqrt(quiet * busy), busy / 3));
}

Samples matchedFilter(const Samples& x) {
  firfilt_crcf filter =
      firfilt_crcf_create_rnyquist(LIQUID_FIRFILT_RRC, kSamplesPerChip, kFilterSymbols, kRolloff, 0.0f);
  Samples y(x.size());
  size_t delay = kFilterSymbols * kSamplesPerChip;
  for (size_t n = 0; n < x.size() + delay; ++n) {
    firfilt_crcf_push(filter, n < x.size() ? std::complex<float>(x[n]) : std::complex<float>{});
    std::complex<float> v;
    firfilt_crcf_execute(filter, &v);
    if (n >= delay) y[n - delay] = Complex(v);
  }
  firfilt_crcf_destroy(filter);
  return y;
}

// How much the magnitude of the samples one chip apart from `first` varies: least at the chip instants,
// where the chips have constant modulus.
double magnitudeSpread(const Samples& y, size_t first, size_t count) {
  double sum = 0, sumSquares = 0;
  for (size_t k = 0; k < count; ++k) {
    double p = std::norm(y[first + k * kSamplesPerChip]);
    sum += p;
    sumSquares += p * p;
  }
  double mean = sum / static_cast<double>(count);
  return mean > 0 ? (sumSquares / static_cast<double>(count) - mean * mean) / (mean * mean) : 0.0;
}

// The vertex of the parabola through three values at -1, 0 and +1.
double vertex(double before, double at, double after) {
  double curvature = before - 2 * at + after;
  return curvature > 0 ? std::clamp(0.5 * (before - after) / curvature, -0.5, 0.5) : 0.0;
}

// The chips: the filtered input delayed by a fraction of a sample so that a sample falls on each chip
// instant (the capture's clock owes nothing to the chips'), then taken one chip apart.
Samples chipsAtBestTiming(Samples y, size_t first, size_t count) {
  std::array<double, kSamplesPerChip> spread;
  for (size_t phase = 0; phase < kSamplesPerChip; ++phase)
    spread[phase] = magnitudeSpread(y, first + phase, count);
  size_t best = static_cast<size_t>(std::min_element(spread.begin(), spread.end()) - spread.begin());
  double offset = vertex(spread[(best + kSamplesPerChip - 1) % kSamplesPerChip], spread[best],
                         spread[(best + 1) % kSamplesPerChip]);
  y = fractionalDelay(y, -offset);
  Samples chips(count);
  for (size_t k = 0; k < count; ++k) chips[k] = y[first + best + k * kSamplesPerChip];
  return chips;
}

// The carrier offset from the phase advance of the chips' fourth power, which strips the QPSK chip phases.
double chipOffsetHz(const Samples& chips) {
  Complex sum{};
  for (size_t k = 1; k < chips.size(); ++k)
    sum += std::pow(chips[k], 4) * std::conj(std::pow(chips[k - 1], 4));
  return std::arg(sum) / (4 * 2 * kPi) * kChipRateHz;
}

void derotateChips(Samples& chips, double hz) {
  rotate(chips, 0, -2 * kPi * hz / kChipRateHz);
}

// The chips' common phase per block of kTrackChips, from their fourth power, unwrapped across blocks.
std::vector<double> blockPhases(const Samples& chips) {
  std::vector<double> phases;
  for (size_t at = 0; at + kTrackChips <= chips.size(); at += kTrackChips) {
    Complex fourth{};
    for (size_t k = at; k < at + kTrackChips; ++k) fourth += std::pow(chips[k], 4);
    double phase = std::arg(fourth) / 4;
    if (!phases.empty()) phase = unwrapOnto(phase, phases.back(), kPi / 2);
    phases.push_back(phase);
  }
  return phases;
}

Complex nearestAxisPoint(Complex v) {
  if (std::abs(v.real()) >= std::abs(v.imag())) return {v.real() >= 0 ? 1.0 : -1.0, 0.0};
  return {0.0, v.imag() >= 0 ? 1.0 : -1.0};
}

// Barker-despread symbols from the chip offset that correlates best.
Samples despread(const Samples& chips) {
  if (chips.size() < 2 * 11) return {};
  size_t best = 0;
  double bestScore = -1;
  size_t symbols = std::min<size_t>(chips.size() / 11 - 1, 100);
  for (size_t offset = 0; offset < 11; ++offset) {
    double score = 0;
    for (size_t s = 0; s < symbols; ++s) {
      Complex sum{};
      for (size_t i = 0; i < 11; ++i) sum += chips[offset + 11 * s + i] * barker()[i];
      score += std::abs(sum);
    }
    if (score > bestScore) {
      bestScore = score;
      best = offset;
    }
  }
  Samples out;
  for (size_t at = best; at + 11 <= chips.size(); at += 11) {
    Complex sum{};
    for (size_t i = 0; i < 11; ++i) sum += chips[at + i] * barker()[i];
    out.push_back(sum);
  }
  return out;
}

// The scrambled bits of differential symbols `first` to `first + count - 1`; two a symbol when `quadrature`.
Bits rawBits(const Samples& symbols, size_t first, size_t count, bool quadrature) {
  static constexpr uint8_t kDibits[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
  Bits bits;
  for (size_t s = std::max<size_t>(first, 1); s < first + count && s < symbols.size(); ++s) {
    double change = std::arg(symbols[s] * std::conj(symbols[s - 1]));
    if (!quadrature) {
      bits.push_back(std::abs(change) > kPi / 2 ? 1 : 0);
      continue;
    }
    // 0, pi/2, pi, 3pi/2 as quadrants 0 to 3.
    auto quadrant = static_cast<size_t>(std::lround(change / (kPi / 2)) & 3);
    bits.push_back(kDibits[quadrant][0]);
    bits.push_back(kDibits[quadrant][1]);
  }
  return bits;
}

// Descrambles `raw`, the register filled from the seven scrambled bits before it.
Bits descramble(const Bits& before, const Bits& raw) {
  Scrambler descrambler(0);
  for (size_t i = before.size() >= 7 ? before.size() - 7 : 0; i < before.size(); ++i)
    descrambler.descramble(before[i]);
  Bits out(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) out[i] = descrambler.descramble(raw[i]);
  return out;
}

struct HeaderFound {
  Header header;
  Preamble preamble;
};

// Finds an SFD in the 1 Mbit/s bits and reads the header after it (at 2 Mbit/s after a short preamble).
std::optional<HeaderFound> readHeader(const Samples& symbols) {
  Bits raw = rawBits(symbols, 1, symbols.size(), false);
  Bits bits = descramble({}, raw);
  for (Preamble preamble : {Preamble::kLong, Preamble::kShort}) {
    Bits sfd = sfdBits(preamble);
    auto at = std::search(bits.begin(), bits.end(), sfd.begin(), sfd.end());
    if (at == bits.end()) continue;
    auto headerBit = static_cast<size_t>(at - bits.begin()) + sfd.size();
    bool quadrature = preamble == Preamble::kShort;
    Bits header = rawBits(symbols, headerBit + 1, quadrature ? 24 : 48, quadrature);
    Bits before(raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(headerBit));
    if (auto parsed = parseHeader(descramble(before, header))) return HeaderFound{*parsed, preamble};
  }
  return std::nullopt;
}

// The chip clock error: the squared magnitude of the filtered signal carries a line at the chip rate, whose
// phase against the nominal chip rate advances block by block in proportion to the error.
double chipClockErrorPpm(const Samples& y, size_t first, size_t samples) {
  constexpr size_t kBlock = 8 * 11 * kSamplesPerChip;
  std::vector<double> phases;
  for (size_t at = first; at + kBlock <= first + samples && at + kBlock <= y.size(); at += kBlock) {
    Complex line{};
    for (size_t n = at; n < at + kBlock; ++n)
      line += std::norm(y[n]) * std::polar(1.0, -2 * kPi * static_cast<double>(n % kSamplesPerChip) /
                                                    static_cast<double>(kSamplesPerChip));
    double phase = std::arg(line);
    phases.push_back(phases.empty() ? phase : unwrapOnto(phase, phases.back()));
  }
  double perSample = fitLine(phases).slope / static_cast<double>(kBlock);
  return perSample / (2 * kPi) * static_cast<double>(kSamplesPerChip) * 1e6;
}

}  // namespace

DsssAnalysis analyzeDsss(const Samples& x) {
  DsssAnalysis result;
  if (x.size() < 64 * kSamplesPerChip) return result;
  PowerAnalysis power = analyzePower(x, burstThreshold(x), kSmoothing, kGap);
  if (!power.burstFound || power.burstSamples < 2 * kEdgeChips * kSamplesPerChip + 11 * 64) return result;
  result.burstStart = power.burstStart;
  result.burstSamples = power.burstSamples;
  Samples y = matchedFilter(x);
  size_t first = power.burstStart + kEdgeChips * kSamplesPerChip;
  size_t count = (power.burstSamples - 2 * kEdgeChips * kSamplesPerChip) / kSamplesPerChip - 1;
  result.chipClockErrorPpm = chipClockErrorPpm(y, first, count * kSamplesPerChip);
  Samples chips = chipsAtBestTiming(std::move(y), first, count);
  result.frequencyErrorHz = chipOffsetHz(chips);
  derotateChips(chips, result.frequencyErrorHz);
  // A line through the phases block by block takes out what the offset estimate left.
  std::vector<double> phases = blockPhases(chips);
  Line line = fitLine(phases);
  result.frequencyErrorHz += line.slope / (2 * kPi * static_cast<double>(kTrackChips)) * kChipRateHz;
  chips.resize(phases.size() * kTrackChips);
  double amplitude = 0;
  for (size_t k = 0; k < chips.size(); ++k) {
    Complex& c = chips[k];
    double block = (static_cast<double>(k) + 0.5) / static_cast<double>(kTrackChips) - 0.5;
    c *= std::polar(1.0, -(line.start + line.slope * block));
    amplitude += std::abs(c) / static_cast<double>(chips.size());
  }
  double error = 0;
  Complex leakage{};
  for (const Complex& c : chips) {
    Complex e = c / amplitude - nearestAxisPoint(c / amplitude);
    error += std::norm(e);
    leakage += e / static_cast<double>(chips.size());
    result.evmPeak = std::max(result.evmPeak, std::abs(e));
  }
  result.evmRms = std::sqrt(error / static_cast<double>(chips.size()));
  // The carrier leakage turns with the carrier, so it stays as the chips' mean error once they are
  // derotated; with the transmitter's and the matched filter's root raised cosine, its share of the chip
  // power is its share of the burst power, and the modulation's own mean does not enter it.
  result.iqOffsetDb = toDb(std::norm(leakage));
  auto header = readHeader(despread(chips));
  if (!header) return result;
  result.found = true;
  result.mbps = header->header.mbps;
  result.preamble = header->preamble;
  return result;
}

}  // namespace tevra::dsp
