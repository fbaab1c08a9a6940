#include "sim/dsp/impairments.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <map>
#include <stdexcept>

namespace tevra::dsp {
namespace {

using Json = nlohmann::json;

double numberOf(const Json& value, const std::string& key) {
  if (!value.is_number()) throw std::invalid_argument("profile key " + key + " must be a number");
  double v = value.get<double>();
  if (!std::isfinite(v)) throw std::invalid_argument("profile key " + key + " must be finite");
  return v;
}

double boundedNumber(const Json& value, const std::string& key, double low, double high) {
  double v = numberOf(value, key);
  if (v < low || v > high)
    throw std::invalid_argument("profile key " + key + " must be within " + std::to_string(low) + " and " +
                                std::to_string(high));
  return v;
}

// null clears an optional key.
std::optional<double> optionalNumber(const Json& value, const std::string& key, double low, double high) {
  if (value.is_null()) return std::nullopt;
  return boundedNumber(value, key, low, high);
}

using Setter = std::function<void(Profile&, const Json&, const std::string&)>;

const std::map<std::string, Setter>& setters() {
  static const std::map<std::string, Setter> table = {
      {"gain_db",
       [](Profile& p, const Json& v, const std::string& k) { p.gainDb = boundedNumber(v, k, -100, 60); }},
      {"frequency_offset_ppm",
       [](Profile& p, const Json& v, const std::string& k) {
         p.frequencyOffsetPpm = boundedNumber(v, k, -1000, 1000);
       }},
      {"sample_clock_offset_ppm",
       [](Profile& p, const Json& v, const std::string& k) {
         p.sampleClockOffsetPpm = boundedNumber(v, k, -1000, 1000);
       }},
      {"iq_offset_db",
       [](Profile& p, const Json& v, const std::string& k) { p.iqOffsetDb = optionalNumber(v, k, -100, 0); }},
      {"iq_gain_imbalance_db",
       [](Profile& p, const Json& v, const std::string& k) {
         p.iqGainImbalanceDb = boundedNumber(v, k, -6, 6);
       }},
      {"quadrature_error_deg",
       [](Profile& p, const Json& v, const std::string& k) {
         p.quadratureErrorDeg = boundedNumber(v, k, -45, 45);
       }},
      {"phase_noise_rms_deg", [](Profile& p, const Json& v,
                                 const std::string& k) { p.phaseNoiseRmsDeg = boundedNumber(v, k, 0, 30); }},
      {"phase_noise_bandwidth_hz",
       [](Profile& p, const Json& v, const std::string& k) {
         p.phaseNoiseBandwidthHz = boundedNumber(v, k, 1, 10e6);
       }},
      {"snr_db",
       [](Profile& p, const Json& v, const std::string& k) { p.snrDb = optionalNumber(v, k, -20, 200); }},
      {"pa_saturation_dbm", [](Profile& p, const Json& v,
                               const std::string& k) { p.paSaturationDbm = optionalNumber(v, k, -100, 60); }},
      {"pa_smoothness", [](Profile& p, const Json& v,
                           const std::string& k) { p.paSmoothness = boundedNumber(v, k, 0.1, 100); }},
      {"seed",
       [](Profile& p, const Json& v, const std::string& k) {
         p.seed = static_cast<uint32_t>(boundedNumber(v, k, 0, 4294967295.0));
       }},
  };
  return table;
}

Json optionalJson(const std::optional<double>& value) {
  return value ? Json(*value) : Json(nullptr);
}

void applyIqImbalance(Samples& x, const Profile& p) {
  if (p.iqGainImbalanceDb == 0.0 && p.quadratureErrorDeg == 0.0) return;
  double a = std::pow(10.0, p.iqGainImbalanceDb / 40.0);
  double half = p.quadratureErrorDeg * kPi / 360.0;
  double c = std::cos(half), s = std::sin(half);
  for (Complex& v : x) {
    double i = v.real(), q = v.imag();
    v = {a * (i * c + q * s), (q * c + i * s) / a};
  }
}

// A carrier offset with a low-pass filtered Gaussian phase of the profile's RMS.
void applyCarrier(Samples& x, double rateHz, double offsetHz, const Profile& p, std::mt19937& rng) {
  double pole = std::exp(-2.0 * kPi * p.phaseNoiseBandwidthHz / rateHz);
  double rms = p.phaseNoiseRmsDeg * kPi / 180.0;
  std::normal_distribution<double> gauss(0.0, rms * std::sqrt(1.0 - pole * pole));
  std::normal_distribution<double> start(0.0, rms);
  double noise = rms > 0 ? start(rng) : 0.0;
  double step = 2.0 * kPi * offsetHz / rateHz;
  for (size_t n = 0; n < x.size(); ++n) {
    if (rms > 0) noise = pole * noise + gauss(rng);
    x[n] *= std::polar(1.0, std::fmod(step * static_cast<double>(n), 2.0 * kPi) + noise);
  }
}

// Rapp's solid-state amplifier: the envelope limits smoothly at the saturation amplitude.
void applyAmplifier(Samples& x, const Profile& p) {
  if (!p.paSaturationDbm) return;
  double saturation = std::sqrt(fromDb(*p.paSaturationDbm));
  double twoP = 2.0 * p.paSmoothness;
  for (Complex& v : x) {
    double r = std::abs(v);
    if (r > 0) v *= 1.0 / std::pow(1.0 + std::pow(r / saturation, twoP), 1.0 / twoP);
  }
}

}  // namespace

Profile applyProfileJson(const std::string& json, Profile base) {
  Json object = Json::parse(json, nullptr, false);
  if (object.is_discarded() || !object.is_object())
    throw std::invalid_argument("a profile must be a JSON object");
  for (const auto& [key, value] : object.items()) {
    auto setter = setters().find(key);
    if (setter == setters().end()) throw std::invalid_argument("unknown profile key " + key);
    setter->second(base, value, key);
  }
  return base;
}

std::string profileToJson(const Profile& p) {
  Json out = {{"gain_db", p.gainDb},
              {"frequency_offset_ppm", p.frequencyOffsetPpm},
              {"sample_clock_offset_ppm", p.sampleClockOffsetPpm},
              {"iq_offset_db", optionalJson(p.iqOffsetDb)},
              {"iq_gain_imbalance_db", p.iqGainImbalanceDb},
              {"quadrature_error_deg", p.quadratureErrorDeg},
              {"phase_noise_rms_deg", p.phaseNoiseRmsDeg},
              {"phase_noise_bandwidth_hz", p.phaseNoiseBandwidthHz},
              {"snr_db", optionalJson(p.snrDb)},
              {"pa_saturation_dbm", optionalJson(p.paSaturationDbm)},
              {"pa_smoothness", p.paSmoothness},
              {"seed", p.seed}};
  return out.dump();
}

// The forward model gives ratio = u + j t (1 + u ratio) with u = (a^2 - 1) / (a^2 + 1) and t = tan(error /
// 2); u is the root near Re(ratio) of Re(ratio) u^2 + (1 - |ratio|^2) u - Re(ratio) = 0.
IqImbalance iqImbalanceOfImageRatio(Complex ratio) {
  double re = ratio.real(), b = 1.0 - std::norm(ratio);
  double u = std::abs(re) < 1e-15 ? 0.0 : (-b + std::sqrt(b * b + 4 * re * re)) / (2 * re);
  double t = ((ratio - u) / (1.0 + u * ratio)).imag();
  return {20.0 * std::log10((1 + u) / (1 - u)), 2.0 * std::atan(t) * 180.0 / kPi};
}

void addNoise(Samples& x, double rateHz, double densityMwPerHz, std::mt19937& rng) {
  if (densityMwPerHz <= 0) return;
  std::normal_distribution<double> gauss(0.0, std::sqrt(densityMwPerHz * rateHz / 2.0));
  for (Complex& v : x) v += Complex{gauss(rng), gauss(rng)};
}

void applyImpairments(Samples& x, double rateHz, double offsetHz, double signalMw, const Profile& p,
                      std::mt19937& rng) {
  applyIqImbalance(x, p);
  if (p.iqOffsetDb) {
    Complex dc = std::sqrt(signalMw * fromDb(*p.iqOffsetDb));
    for (Complex& v : x) v += dc;
  }
  applyCarrier(x, rateHz, offsetHz, p, rng);
  scale(x, std::pow(10.0, p.gainDb / 20.0));
  applyAmplifier(x, p);
  if (p.snrDb) addNoise(x, rateHz, signalMw * fromDb(p.gainDb - *p.snrDb) / kChannelBandwidthHz, rng);
}

}  // namespace tevra::dsp
