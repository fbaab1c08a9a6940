// Demodulation of one captured burst: EVM and frequency error for the caller, the further results of the
// burst in the last-result store. Outputs are preset on entry and written once, in their own units, when
// the measurement has them; a burst that was not good, an EVM that is not a positive percentage or a
// centre frequency that gives no ppm makes the result 0 (not valid) with a traced reason.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <utility>

#include "src/core/frame.h"
#include "src/core/measurement.h"
#include "src/core/settings.h"
#include "src/log/driver_logs.h"
#include "src/measure/last_results.h"
#include "src/measure/measure_common.h"
#include "src/server/instrument.h"
#include "tevra.h"

namespace tevra::measure {
namespace {

using core::FrameInfo;
using log::StatEntry;
using server::ServerOp;

const FrameInfo kDemod11bFrame{"Measure_Demod_ALL_11b", -2707, StatEntry::kDemodAll11b};
const FrameInfo kDemod11agFrame{"Measure_Demod_ALL_11ag", -2960, StatEntry::kDemodAll11ag};
const FrameInfo kTurboFrame{"Measure_Demod_ALL_11agturbo", -2999, StatEntry::kDemodAll11agTurbo};
const FrameInfo kDemod11nFrame{"Measure_Demod_ALL_11n", -2830, StatEntry::kDemodAll11n};

constexpr double kPeakEvmPreset = 100.0;
constexpr double kGatedPowerNotMeasured = -99.0;
constexpr int kRepeats11n = 10;
constexpr double kTurboSubcarrierSpacingHz = 625000.0;

bool gatedPowerWanted() {
  return core::settings().switches.getDemodGatedPower != 0;
}

int16_t flag(bool on) {
  return on ? 1 : 0;
}

// The frequency error and its ppm; the store keeps the error in Hz.
struct FrequencyError {
  double hz = 0.0;
  double ppm = 0.0;
  bool hasPpm = false;
};

FrequencyError readFrequencyError(double hz, int32_t frequencyPosition) {
  FrequencyError error{hz};
  lastResults().frequencyErrorHz = hz;
  error.hasPpm = ppmOf(hz, core::centreFrequencyMHz(frequencyPosition), &error.ppm);
  return error;
}

int32_t demod11b(double* peakEvmOut, double* ppmOut) {
  *peakEvmOut = kPeakEvmPreset;
  *ppmOut = 0.0;
  auto& store = lastResults();
  const bool gated = gatedPowerWanted();
  server::at(2611).put_IEEE80211b_Demod_GatedPowerEnable(flag(gated));
  core::startMeasurement<ServerOp::IEEE80211b_Demod_Initiate>(2612);
  const bool overloaded = core::readOverload<ServerOp::get_IEEE80211b_Demod_OverLoad>(2617);
  const double peakEvm = server::at(2620).get_IEEE80211b_Demod_PeakEVM();
  store.burstGood = server::at(2621).get_IEEE80211b_Demod_BurstGood();
  log::traceLog().LogIt("IEEE80211b_Demod_PeakEVM(PeakEVM = %g %%, BurstGood = %d, OverLoad = %d)", peakEvm,
                        store.burstGood, overloaded ? 1 : 0);
  const FrequencyError error =
      readFrequencyError(server::at(2625).get_IEEE80211b_Demod_FrequencyError(), 2626);
  store.iqOffsetDb = server::at(2630).get_IEEE80211b_Demod_IQOffset();
  store.rmsEvmPercent = server::at(2631).get_IEEE80211b_Demod_RmsEVM();
  store.gatedPowerDbm = gated ? server::at(2634).get_IEEE80211b_Demod_GatedPower() : kGatedPowerNotMeasured;
  store.bitRateMbps = bitRateMbps(server::at(2643).get_IEEE80211b_Demod_DataRate());
  log::traceLog().LogIt(
      "FrequencyError = %g Hz (%g ppm), IQOffset = %g dB, GatedPower = %g dBm, RmsEVM = %g %%, BitRate = %g "
      "Mbps",
      error.hz, error.ppm, store.iqOffsetDb, store.gatedPowerDbm, store.rmsEvmPercent, store.bitRateMbps);
  *peakEvmOut = peakEvm;
  *ppmOut = error.ppm;
  return verdict(overloaded,
                 {{store.burstGood != 0, "burst not good"}, {error.hasPpm, "centre frequency gives no ppm"}});
}

int32_t demod11ag(double* evmDbOut, double* ppmOut) {
  *evmDbOut = 0.0;
  *ppmOut = 0.0;
  auto& store = lastResults();
  const bool gated = gatedPowerWanted();
  server::at(2857).put_IEEE80211a_Demod_GatedPowerEnable(flag(gated));
  core::startMeasurement<ServerOp::IEEE80211a_Demod_Initiate>(2860);
  const bool overloaded = core::readOverload<ServerOp::get_IEEE80211a_Demod_OverLoad>(2865);
  const double percent = server::at(2868).get_IEEE80211a_Demod_RmsEVM();
  store.burstGood = server::at(2869).get_IEEE80211a_Demod_BurstGood();
  double evmDb = 0.0;
  const bool hasEvm = evmDbOf(percent, &evmDb);
  log::traceLog().LogIt("IEEE80211a_Demod_RmsEVM(EVM = %g %% (%g dB), BurstGood = %d, OverLoad = %d)",
                        percent, hasEvm ? evmDb : -HUGE_VAL, store.burstGood, overloaded ? 1 : 0);
  const FrequencyError error =
      readFrequencyError(server::at(2880).get_IEEE80211a_Demod_FrequencyError(), 2882);
  store.iqOffsetDb = server::at(2885).get_IEEE80211a_Demod_IQOffset();
  store.gatedPowerDbm = gated ? server::at(2887).get_IEEE80211a_Demod_GatedPower() : kGatedPowerNotMeasured;
  store.bitRateMbps = bitRateMbps(server::at(2896).get_IEEE80211a_Demod_DataRate());
  log::traceLog().LogIt(
      "FrequencyError = %g Hz (%g ppm), IQOffset = %g dB, GatedPower = %g dBm, BitRate = %g Mbps", error.hz,
      error.ppm, store.iqOffsetDb, store.gatedPowerDbm, store.bitRateMbps);
  *evmDbOut = evmDb;
  *ppmOut = error.ppm;
  return verdict(overloaded, {{store.burstGood != 0, "burst not good"},
                              {hasEvm, "EVM is not a positive percentage"},
                              {error.hasPpm, "centre frequency gives no ppm"}});
}

// Runs step and, when it raises a server error, traces it as the frame would and says so.
template <class Step>
bool attempt(int32_t failureCode, Step&& step) {
  try {
    step();
    return true;
  } catch (const _com_error& error) {
    core::setComLastError(error.Error());
    core::traceFailure(failureCode, "ERR %d,L%d,0x%08X,%s", failureCode, server::position(),
                       static_cast<uint32_t>(error.Error()), core::describeComError(error).c_str());
    return false;
  }
}

struct TurboSettings {
  int32_t turbo;
  double subcarrierSpacingHz;
  int16_t alternateSync;
};

// Puts back every kept setting, each tried also when another failed.
bool restoreTurboSettings(const TurboSettings& kept) {
  const int32_t code = kTurboFrame.failureCode;
  bool restored = attempt(code, [&] { server::at(2995).put_IEEE80211a_Demod_Turbo(kept.turbo); });
  restored &= attempt(code, [&] { server::at(2996).put_SubcarrierSpacing11ag(kept.subcarrierSpacingHz); });
  restored &= attempt(code, [&] { server::at(2997).put_UseAlternateSyncSequence(kept.alternateSync); });
  return restored;
}

int32_t demod11agTurbo(double* evmDb, double* ppm) {
  const TurboSettings kept{server::at(2985).get_IEEE80211a_Demod_Turbo(),
                           server::at(2986).get_SubcarrierSpacing11ag(),
                           server::at(2987).get_UseAlternateSyncSequence()};
  const int32_t code = kTurboFrame.failureCode;
  const bool set = attempt(code, [] {
    server::at(2989).put_IEEE80211a_Demod_Turbo(1);
    server::at(2990).put_SubcarrierSpacing11ag(kTurboSubcarrierSpacingHz);
    server::at(2991).put_UseAlternateSyncSequence(platform::VARIANT_TRUE);
  });
  const int32_t result = set ? Tevra_Measure_Demod_ALL_11ag(evmDb, ppm) : code;
  return restoreTurboSettings(kept) ? result : code;
}

// One 802.11n EVM read: false, with its line, when the server gives no positive percentage.
template <ServerOp kRead>
bool readEvm11n(int32_t position, const char* name, double* percent, double* dB) {
  *percent = server::at(position).call<kRead>();
  if (evmDbOf(*percent, dB)) return true;
  log::traceLog().LogIt("-1.#INF -> %s EVM = %g %%", name, *percent);
  return false;
}

// The EVMs of one 802.11n pass in the caller's order: channel 1, stream 1, channel 2, stream 2.
struct Evm11n {
  double dB[4] = {};
  double percent[4] = {};
};

// One pass after its measurement: true when every EVM it reads was measured.
bool readPass11n(int32_t channels, bool overloaded, Evm11n& evm) {
  if (channels == 2) {
    if (!readEvm11n<ServerOp::get_IEEE80211n_Demod_Chan2EVM>(2767, "Chan2", &evm.percent[2], &evm.dB[2]) ||
        !readEvm11n<ServerOp::get_IEEE80211n_Demod_Stream2EVM>(2775, "Stream2", &evm.percent[3],
                                                               &evm.dB[3])) {
      return false;
    }
    log::traceLog().LogIt("Chan2 EVM = %g dB (%g %%), Stream2 EVM = %g dB (%g %%)", evm.dB[2], evm.percent[2],
                          evm.dB[3], evm.percent[3]);
  }
  if (!readEvm11n<ServerOp::get_IEEE80211n_Demod_Chan1EVM>(2786, "Chan1", &evm.percent[0], &evm.dB[0]) ||
      !readEvm11n<ServerOp::get_IEEE80211n_Demod_Stream1EVM>(2794, "Stream1", &evm.percent[1], &evm.dB[1])) {
    return false;
  }
  auto& store = lastResults();
  store.burstGood = server::at(2802).get_IEEE80211n_Demod_BurstGood();
  log::traceLog().LogIt(
      "Chan1 EVM = %g dB (%g %%), Stream1 EVM = %g dB (%g %%), BurstGood = %d, OverLoad = %d", evm.dB[0],
      evm.percent[0], evm.dB[1], evm.percent[1], store.burstGood, overloaded ? 1 : 0);
  return true;
}

int32_t demod11n(int32_t channels, bool ht40, bool gi, double* evmDbOut, double* ppmOut) {
  const int32_t elements = 2 * channels;
  std::fill(evmDbOut, evmDbOut + elements, 0.0);
  *ppmOut = 0.0;
  server::at(2743).put_IEEE80211n_Demod_NumChannels(channels);
  server::at(2744).put_IEEE80211n_Demod_HT40(ht40 ? 1 : 0);
  server::at(2745).put_IEEE80211n_Demod_GI(gi ? 1 : 0);
  bool overloaded = false;
  bool measured = false;
  Evm11n evm;
  for (int pass = 0; pass <= kRepeats11n && !measured; ++pass) {
    core::startMeasurement<ServerOp::IEEE80211n_Demod_Initiate>(2752);
    const bool passOverloaded = core::readOverload<ServerOp::get_IEEE80211n_Demod_OverLoad>(2757);
    overloaded |= passOverloaded;
    measured = readPass11n(channels, passOverloaded, evm);
  }
  const FrequencyError error =
      readFrequencyError(server::at(2811).get_IEEE80211n_Demod_FrequencyError(), 2812);
  auto& store = lastResults();
  store.mcs = server::at(2816).get_IEEE80211n_Demod_MCS();
  log::traceLog().LogIt("FrequencyError = %g Hz (%g ppm), MCS = %d", error.hz, error.ppm, store.mcs);
  if (measured) std::copy(evm.dB, evm.dB + elements, evmDbOut);
  *ppmOut = error.ppm;
  return verdict(overloaded, {{measured, "no pass gave every EVM"},
                              {store.burstGood != 0, "burst not good"},
                              {error.hasPpm, "centre frequency gives no ppm"}});
}

}  // namespace
}  // namespace tevra::measure

using namespace tevra;

extern "C" int32_t Tevra_Measure_Demod_ALL_11b(double* PeakEVM, double* FrequencyError_ppm) {
  return core::framed(measure::kDemod11bFrame, [&] {
    if (PeakEVM == nullptr || FrequencyError_ppm == nullptr) {
      return measure::refuseNullOutput(measure::kDemod11bFrame);
    }
    return measure::demod11b(PeakEVM, FrequencyError_ppm);
  });
}

extern "C" int32_t Tevra_Measure_Demod_ALL_11ag(double* EVM_dB, double* FrequencyError_ppm) {
  return core::framed(measure::kDemod11agFrame, [&] {
    if (EVM_dB == nullptr || FrequencyError_ppm == nullptr) {
      return measure::refuseNullOutput(measure::kDemod11agFrame);
    }
    return measure::demod11ag(EVM_dB, FrequencyError_ppm);
  });
}

extern "C" int32_t Tevra_Measure_Demod_ALL_11agturbo(double* EVM_dB, double* FrequencyError_ppm) {
  return core::framed(measure::kTurboFrame, [&] {
    if (EVM_dB == nullptr || FrequencyError_ppm == nullptr)
      return measure::refuseNullOutput(measure::kTurboFrame);
    return measure::demod11agTurbo(EVM_dB, FrequencyError_ppm);
  });
}

extern "C" int32_t Tevra_Measure_Demod_ALL_11n(int32_t NumChannels, int32_t HT40, int32_t GI, double* EVM_dB,
                                               double* FrequencyError_ppm) {
  core::CallFrame frame(measure::kDemod11nFrame);
  frame.start("%d,HT40 = %d,GI = %d,...", NumChannels, HT40, GI);
  return frame.end(frame.guard([&] {
    const int32_t failure = measure::kDemod11nFrame.failureCode;
    if (EVM_dB == nullptr || FrequencyError_ppm == nullptr)
      return measure::refuseNullOutput(measure::kDemod11nFrame);
    if (NumChannels != 1 && NumChannels != 2) {
      return core::traceFailure(failure, "ERR %d,NumChannels %d is not 1 or 2", failure, NumChannels);
    }
    return measure::demod11n(NumChannels, HT40 != 0, GI != 0, EVM_dB, FrequencyError_ppm);
  }));
}
