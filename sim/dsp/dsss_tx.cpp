#include "sim/dsp/dsss_tx.h"

#include <complex>
// liquid.h takes std::complex<float> for its complex type when <complex> comes first.
#include <liquid/liquid.h>

#include <stdexcept>

namespace tevra::dsp {
namespace {

using namespace dsss;

class ChipWriter {
 public:
  void barkerSymbol(double phase) {
    for (double c : barker()) chips_.push_back(std::polar(c, phase));
  }
  void codeWord(const std::array<Complex, 8>& word) { chips_.insert(chips_.end(), word.begin(), word.end()); }
  const Samples& chips() const { return chips_; }

 private:
  Samples chips_;
};

struct Modulator {
  ChipWriter out;
  double phase = 0.0;
  size_t cckSymbols = 0;

  void dbpsk(const Bits& bits) {
    for (uint8_t b : bits) {
      phase += b ? kPi : 0.0;
      out.barkerSymbol(phase);
    }
  }
  void dqpsk(const Bits& bits) {
    for (size_t i = 0; i + 1 < bits.size(); i += 2) {
      phase += dqpskPhase(bits[i], bits[i + 1]);
      out.barkerSymbol(phase);
    }
  }
  // 4 bits a symbol at 5.5 Mbit/s, 8 at 11 Mbit/s.
  void cck(const Bits& bits, bool full) {
    size_t step = full ? 8 : 4;
    for (size_t i = 0; i + step <= bits.size(); i += step, ++cckSymbols) {
      const uint8_t* d = &bits[i];
      phase += dqpskPhase(d[0], d[1]) + (cckSymbols % 2 ? kPi : 0.0);
      if (full) {
        out.codeWord(
            cckCodeWord(phase, cckQpskPhase(d[2], d[3]), cckQpskPhase(d[4], d[5]), cckQpskPhase(d[6], d[7])));
      } else {
        out.codeWord(cckCodeWord(phase, d[2] * kPi + kPi / 2, 0.0, d[3] * kPi));
      }
    }
  }
};

Samples shape(const Samples& chips) {
  firinterp_crcf interp =
      firinterp_crcf_create_prototype(LIQUID_FIRFILT_RRC, kSamplesPerChip, kFilterSymbols, kRolloff, 0.0f);
  Samples out;
  out.reserve((chips.size() + 2 * kFilterSymbols) * kSamplesPerChip);
  std::complex<float> y[kSamplesPerChip];
  for (size_t n = 0; n < chips.size() + 2 * kFilterSymbols; ++n) {
    std::complex<float> x = n < chips.size() ? std::complex<float>(chips[n]) : std::complex<float>{};
    firinterp_crcf_execute(interp, x, y);
    for (auto v : y) out.emplace_back(v);
  }
  firinterp_crcf_destroy(interp);
  scale(out,
        1.0 / std::sqrt(meanPower(out, kFilterSymbols * kSamplesPerChip, chips.size() * kSamplesPerChip)));
  return out;
}

}  // namespace

Samples synthesizeDsss(const DsssBurst& burst) {
  if (!signalOfMbps(burst.mbps)) throw std::invalid_argument("no DSSS rate of that many Mbps");
  if (burst.psdu.empty() || burst.psdu.size() > kMaxLength)
    throw std::invalid_argument("PSDU length out of range");
  bool shortPreamble = burst.preamble == Preamble::kShort;
  if (shortPreamble && burst.mbps == 1) throw std::invalid_argument("1 Mbit/s has no short preamble");
  Scrambler scrambler(shortPreamble ? 0x1b : 0x6c);
  auto scrambled = [&scrambler](const Bits& bits) {
    Bits out(bits.size());
    for (size_t i = 0; i < bits.size(); ++i) out[i] = scrambler.scramble(bits[i]);
    return out;
  };
  Modulator m;
  m.dbpsk(scrambled(preambleBits(burst.preamble)));
  Bits header = scrambled(headerBits(burst.mbps, burst.psdu.size()));
  shortPreamble ? m.dqpsk(header) : m.dbpsk(header);
  Bits data;
  for (uint8_t byte : burst.psdu)
    for (size_t b = 0; b < 8; ++b) data.push_back(static_cast<uint8_t>((byte >> b) & 1));
  data = scrambled(data);
  if (burst.mbps == 1) m.dbpsk(data);
  if (burst.mbps == 2) m.dqpsk(data);
  if (burst.mbps == 5.5 || burst.mbps == 11) m.cck(data, burst.mbps == 11);
  return shape(m.out.chips());
}

}  // namespace tevra::dsp
