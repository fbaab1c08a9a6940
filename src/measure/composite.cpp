// The composite 802.11 measurements: the server's own EVM, frequency error and, for 11a/g, CFL and spectral
// flatness measurements one after the other on one signal. Outputs are preset on entry and written once at
// the end; an 11b EVM the server refused to give leaves the preset and makes the result 0 (not valid).
#include <array>
#include <cmath>
#include <cstdint>

#include "src/core/frame.h"
#include "src/core/measurement.h"
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

const FrameInfo kAll11bFrame{"Measure_ALL_11b", -2470, StatEntry::kMeasureAll11b};
const FrameInfo kAll11agFrame{"Measure_ALL_11ag", -2585, StatEntry::kMeasureAll11ag};

constexpr double kEvmPresetPercent = 100.0;

double percentOfDb(double dB) {
  return 100.0 * std::pow(10.0, dB * 0.05);
}

// The frequency error in ppm and its value in Hz at the analyzer's centre frequency, kept in the store.
void storeFrequencyError(double ppm, int32_t frequencyPosition) {
  auto& store = lastResults();
  store.frequencyErrorHz = ppm * core::centreFrequencyMHz(frequencyPosition);
  store.bitRateMbps = 0.0;
}

int32_t all11b(double* evmOut, double* ppmOut, bool force) {
  *evmOut = kEvmPresetPercent;
  *ppmOut = 0.0;
  core::startMeasurement<ServerOp::IEEE80211b_EVM_Initiate, ServerOp::IEEE80211b_EVM_ForceInitiate>(
      force, 2423, 2419);
  const bool evmOverloaded = core::readOverload<ServerOp::get_IEEE80211b_EVM_OverLoad>(2430);
  double evm = kEvmPresetPercent;
  const bool hasEvm = core::readUntested<ServerOp::get_IEEE80211b_EVM_Result>(2435, &evm);
  log::traceLog().LogIt("IEEE80211b_EVM_Result(EVM = %g, OverLoad = %d)", evm, evmOverloaded ? 1 : 0);
  core::startMeasurement<ServerOp::IEEE80211b_FrequencyError_Initiate>(2438);
  const bool errorOverloaded = core::readOverload<ServerOp::get_IEEE80211b_FrequencyError_OverLoad>(2441);
  lastResults().modulationFormat = server::at(2444).get_IEEE80211b_EVM_ModulationFormat();
  const double ppm = server::at(2446).get_IEEE80211b_FrequencyError_Result();
  storeFrequencyError(ppm, 2447);
  log::traceLog().LogIt("IEEE80211b_FrequencyError_Result(FrequencyError = %g Hz (%g ppm), OverLoad = %d)",
                        lastResults().frequencyErrorHz, ppm, errorOverloaded ? 1 : 0);
  *evmOut = evm;
  *ppmOut = ppm;
  return verdict(evmOverloaded || errorOverloaded, {{hasEvm, "EVM result refused"}});
}

struct Outputs11ag {
  double* evmDb;
  double* ppm;
  double* cfl;
  double* flatnessMargin;
  double* flatnessResults;
  int32_t* numResults;
};

// The individual flatness results, at most TEVRA_FLATNESS_RESULTS_MAX of them.
struct Flatness {
  int32_t count = 0;
  std::array<double, TEVRA_FLATNESS_RESULTS_MAX> results{};
};

// Reads the count and, when wanted, the results; a count beyond the bound gives the failure code.
int32_t readFlatnessResults(bool wantResults, Flatness& flatness) {
  flatness.count = server::at(2573).get_IEEE80211a_SpectralFlatness_NumResults();
  log::traceLog().LogIt("IEEE80211a_SpectralFlatness_NumResults = %d", flatness.count);
  if (flatness.count < 0 || flatness.count > TEVRA_FLATNESS_RESULTS_MAX) {
    const int32_t code = kAll11agFrame.failureCode;
    return core::traceFailure(code, "ERR %d,%d flatness results, the bound is %d", code, flatness.count,
                              TEVRA_FLATNESS_RESULTS_MAX);
  }
  for (int32_t i = 0; wantResults && i < flatness.count; ++i) {
    flatness.results[i] = server::at(2578).IEEE80211a_SpectralFlatness_Result(i);
  }
  return 0;
}

int32_t all11ag(const Outputs11ag& out, bool force) {
  *out.evmDb = 0.0;
  *out.ppm = 0.0;
  core::startMeasurement<ServerOp::IEEE80211a_EVM_Initiate, ServerOp::IEEE80211a_EVM_ForceInitiate>(
      force, 2506, 2502);
  const bool evmOverloaded = core::readOverload<ServerOp::get_IEEE80211a_EVM_OverLoad>(2510);
  const double evmDb = server::at(2513).get_IEEE80211a_EVM_Result();
  log::traceLog().LogIt("IEEE80211a_EVM_Result = %g (%g%%), OverLoad = %d", evmDb, percentOfDb(evmDb),
                        evmOverloaded ? 1 : 0);
  core::startMeasurement<ServerOp::IEEE80211a_FrequencyError_Initiate>(2518);
  const bool errorOverloaded = core::readOverload<ServerOp::get_IEEE80211a_FrequencyError_OverLoad>(2521);
  lastResults().modulationFormat = server::at(2525).get_IEEE80211a_EVM_ModulationFormat();
  const double ppm = server::at(2527).get_IEEE80211a_FrequencyError_Result();
  storeFrequencyError(ppm, 2528);
  log::traceLog().LogIt("IEEE80211a_FrequencyError_Result = %g Hz (%g ppm), OverLoad = %d",
                        lastResults().frequencyErrorHz, ppm, errorOverloaded ? 1 : 0);
  core::startMeasurement<ServerOp::IEEE80211a_CFL_Initiate>(2535);
  const bool cflOverloaded = core::readOverload<ServerOp::get_IEEE80211a_CFL_OverLoad>(2538);
  const double cfl = server::at(2541).get_IEEE80211a_CFL_Result();
  log::traceLog().LogIt("IEEE80211a_CFL_Result = %g, OverLoad = %d", cfl, cflOverloaded ? 1 : 0);
  core::startMeasurement<ServerOp::IEEE80211a_SpectralFlatness_Initiate>(2544);
  const bool flatnessOverloaded =
      core::readOverload<ServerOp::get_IEEE80211a_SpectralFlatness_OverLoad>(2547);
  const double margin = server::at(2550).get_IEEE80211a_SpectralFlatness_Margin();
  log::traceLog().LogIt("IEEE80211a_SpectralFlatness_Margin = %g", margin);
  Flatness flatness;
  if (out.numResults != nullptr) {
    const int32_t failure = readFlatnessResults(out.flatnessResults != nullptr, flatness);
    if (failure != 0) return failure;
    *out.numResults = flatness.count;
    if (out.flatnessResults != nullptr)
      std::copy_n(flatness.results.begin(), flatness.count, out.flatnessResults);
  }
  *out.evmDb = evmDb;
  *out.ppm = ppm;
  *out.cfl = cfl;
  *out.flatnessMargin = margin;
  return resultValue(!(evmOverloaded || errorOverloaded || cflOverloaded || flatnessOverloaded));
}

}  // namespace
}  // namespace tevra::measure

using namespace tevra;

extern "C" int32_t Tevra_Measure_ALL_11b(double* EVM, double* FrequencyError_ppm, int32_t ForceInitiate) {
  return core::framed(measure::kAll11bFrame, [&] {
    if (EVM == nullptr || FrequencyError_ppm == nullptr)
      return measure::refuseNullOutput(measure::kAll11bFrame);
    return measure::all11b(EVM, FrequencyError_ppm, ForceInitiate != 0);
  });
}

extern "C" int32_t Tevra_Measure_ALL_11ag(double* EVM_dB, double* FrequencyError_ppm, double* CFL,
                                          double* SpectralFlatnessMargin, double* SpectralFlatnessResults,
                                          int32_t* NumResults, int32_t ForceInitiate) {
  const measure::Outputs11ag out{
      EVM_dB, FrequencyError_ppm, CFL, SpectralFlatnessMargin, SpectralFlatnessResults, NumResults};
  return core::framed(measure::kAll11agFrame, [&] {
    if (EVM_dB == nullptr || FrequencyError_ppm == nullptr || CFL == nullptr ||
        SpectralFlatnessMargin == nullptr) {
      return measure::refuseNullOutput(measure::kAll11agFrame);
    }
    return measure::all11ag(out, ForceInitiate != 0);
  });
}
