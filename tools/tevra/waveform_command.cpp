// tevra waveform: synthesizes 802.11a/g bursts, CW and multi-tone signals and noise at the generator's
// sample clock and writes them as a segment file.
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/dsp/dsss_tx.h"
#include "sim/dsp/ht_phy.h"
#include "sim/dsp/ht_tx.h"
#include "sim/dsp/ofdm_tx.h"
#include "sim/dsp/resample.h"
#include "sim/dsp/segment_file.h"
#include "sim/dsp/tones.h"
#include "tools/tevra/commands.h"

namespace tevra::tool {
namespace {

constexpr const char* kUsage =
    "usage: tevra waveform KIND --out FILE [options]\n"
    "  KIND 11ag   802.11a/g OFDM bursts: --rate MBPS (6 9 12 18 24 36 48 54, default 54)\n"
    "              --length BYTES (1..4095, default 1500) or --psdu FILE, --bursts N (default 1),\n"
    "              --idle-us T (gap after each burst, default 20), --seed S (payload and scrambler)\n"
    "  KIND 11n    802.11n HT-mixed bursts, one stream: --mcs 0..7 (default 7), --width 20|40 (MHz,\n"
    "              default 20), --length (1..65535), --psdu, --bursts, --idle-us, --seed as for 11ag\n"
    "  KIND 11b    802.11b DSSS/CCK bursts: --rate MBPS (1 2 5.5 11, default 11), --preamble long|short\n"
    "              (default long; 1 Mbps has only long), --length, --psdu, --bursts, --idle-us, --seed as "
    "for 11ag\n"
    "  KIND cw     a tone: --offset HZ (default 0) --samples N (default 4000)\n"
    "  KIND tones  several tones: --offsets HZ,HZ,... --samples N\n"
    "  KIND noise  white Gaussian noise: --samples N --seed S\n"
    "  --sample-rate HZ  the generator's sample clock (default 40e6)\n";

using Options = std::map<std::string, std::string>;

double number(const Options& o, const std::string& key, double fallback) {
  auto it = o.find(key);
  if (it == o.end()) return fallback;
  char* end = nullptr;
  double value = std::strtod(it->second.c_str(), &end);
  if (it->second.empty() || *end != '\0' || !std::isfinite(value))
    throw std::invalid_argument("--" + key + " needs a number");
  return value;
}

size_t count(const Options& o, const std::string& key, double fallback, double max) {
  double value = number(o, key, fallback);
  if (value < 1 || value > max || value != std::floor(value))
    throw std::invalid_argument("--" + key + " must be a whole number from 1 to " +
                                std::to_string(static_cast<long>(max)));
  return static_cast<size_t>(value);
}

std::vector<double> numberList(const std::string& text) {
  std::vector<double> values;
  std::stringstream in(text);
  for (std::string item; std::getline(in, item, ',');) {
    Options one{{"offsets", item}};
    values.push_back(number(one, "offsets", 0));
  }
  if (values.empty()) throw std::invalid_argument("--offsets needs at least one frequency");
  return values;
}

std::vector<uint8_t> readPsdu(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::invalid_argument("cannot read " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> payload(const Options& o, uint32_t seed) {
  return o.count("psdu") ? readPsdu(o.at("psdu")) : dsp::randomPayload(count(o, "length", 1500, 4095), seed);
}

// Bursts made at `burstRateHz`, each followed by its idle gap, resampled to the generator's clock.
dsp::Samples burstWaveform(const Options& o, const dsp::Samples& burst, double burstRateHz, double rateHz) {
  double idleUs = number(o, "idle-us", 20);
  if (idleUs < 0 || idleUs > 1e5) throw std::invalid_argument("--idle-us must be 0 to 100000");
  auto idle = static_cast<size_t>(std::lround(idleUs * 1e-6 * burstRateHz));
  dsp::Samples train = dsp::burstTrain(burst, count(o, "bursts", 1, 1000), idle);
  dsp::Samples out = dsp::resample(train, rateHz / burstRateHz);
  // The resampler's ringing into the gaps is far below the burst; zero it so that gaps stay idle.
  double floor = dsp::peakPower(out) * 1e-7;
  for (dsp::Complex& v : out)
    if (std::norm(v) < floor) v = {};
  return out;
}

dsp::Samples ofdmWaveform(const Options& o, double rateHz) {
  auto seed = static_cast<uint32_t>(number(o, "seed", 1));
  dsp::OfdmBurst burst{number(o, "rate", 54), payload(o, seed), static_cast<uint8_t>(seed % 127 + 1)};
  return burstWaveform(o, dsp::synthesizeOfdm(burst), dsp::ofdm::kSampleRateHz, rateHz);
}

dsp::Samples htWaveform(const Options& o, double rateHz) {
  auto seed = static_cast<uint32_t>(number(o, "seed", 1));
  double mcs = number(o, "mcs", 7);
  if (mcs < 0 || mcs > 7 || mcs != std::floor(mcs)) throw std::invalid_argument("--mcs must be 0 to 7");
  std::vector<uint8_t> psdu =
      o.count("psdu") ? readPsdu(o.at("psdu")) : dsp::randomPayload(count(o, "length", 1500, 65535), seed);
  double width = number(o, "width", 20);
  if (width != 20 && width != 40) throw std::invalid_argument("--width must be 20 or 40");
  dsp::HtBurst burst{static_cast<int>(mcs), psdu, static_cast<uint8_t>(seed % 127 + 1), width == 40};
  return burstWaveform(o, dsp::synthesizeHt(burst),
                       burst.wide ? dsp::ht::wide::kSampleRateHz : dsp::ofdm::kSampleRateHz, rateHz);
}

dsp::Samples dsssWaveform(const Options& o, double rateHz) {
  auto seed = static_cast<uint32_t>(number(o, "seed", 1));
  std::string preamble = o.count("preamble") ? o.at("preamble") : "long";
  if (preamble != "long" && preamble != "short")
    throw std::invalid_argument("--preamble must be long or short");
  dsp::DsssBurst burst{number(o, "rate", 11),
                       preamble == "long" ? dsp::dsss::Preamble::kLong : dsp::dsss::Preamble::kShort,
                       payload(o, seed)};
  return burstWaveform(o, dsp::synthesizeDsss(burst), dsp::dsss::kSampleRateHz, rateHz);
}

dsp::Samples synthesize(const std::string& kind, const Options& o) {
  double rateHz = number(o, "sample-rate", 40e6);
  if (rateHz < 1e3 || rateHz > 200e6) throw std::invalid_argument("--sample-rate must be 1 kHz to 200 MHz");
  if (kind == "11ag") return ofdmWaveform(o, rateHz);
  if (kind == "11b") return dsssWaveform(o, rateHz);
  if (kind == "11n") return htWaveform(o, rateHz);
  size_t samples = count(o, "samples", 4000, 8e6);
  if (kind == "cw") return dsp::toneSignal({number(o, "offset", 0)}, rateHz, samples);
  if (kind == "tones")
    return dsp::toneSignal(numberList(o.count("offsets") ? o.at("offsets") : ""), rateHz, samples);
  if (kind == "noise") return dsp::noiseSignal(samples, static_cast<uint32_t>(number(o, "seed", 1)));
  throw std::invalid_argument("unknown waveform kind " + kind);
}

}  // namespace

int runWaveformCommand(int argc, char** argv) {
  if (argc < 1) {
    std::cerr << kUsage;
    return 2;
  }
  Options options;
  for (int i = 1; i < argc; i += 2) {
    std::string key = argv[i];
    if (key.rfind("--", 0) != 0 || i + 1 >= argc) {
      std::cerr << "tevra waveform: bad option " << key << "\n" << kUsage;
      return 2;
    }
    options[key.substr(2)] = argv[i + 1];
  }
  if (!options.count("out")) {
    std::cerr << "tevra waveform: --out FILE is required\n" << kUsage;
    return 2;
  }
  try {
    dsp::Samples x = synthesize(argv[0], options);
    std::string why;
    if (!dsp::writeSegmentFile(options["out"], x, &why)) {
      std::cerr << "tevra waveform: " << why << "\n";
      return 1;
    }
    std::cout << options["out"] << ": " << x.size() << " samples\n";
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "tevra waveform: " << e.what() << "\n";
    return 2;
  }
}

}  // namespace tevra::tool
