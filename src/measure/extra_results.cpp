// Further results of the latest measurements by name (compared without regard to case): stored ones from
// the last-result store, live ones read from the server, and the gated spectrum as arrays. A null or empty
// name hands out the address of the name list instead.
#include <cinttypes>
#include <cstdint>
#include <cstring>

#include "src/core/frame.h"
#include "src/core/names.h"
#include "src/measure/last_results.h"
#include "src/server/instrument.h"
#include "tevra.h"

namespace tevra::measure {
namespace {

using core::FrameInfo;

const FrameInfo kExtraFrame{"GetExtraMeasureResult", -6938, log::StatEntry::kNone, false, false};

constexpr int32_t kModulationFormatLast = 12;

// The names in the order callers walk them, ended by a null pointer.
const char* const kNames[] = {"EVM_BurstGood",
                              "EVM_FrequencyError_Hz",
                              "EVM_GatedPower_dBm",
                              "EVM_IQOffset_dB",
                              "EVM_ModulationFormat",
                              "EVM_RmsEVM_Percent",
                              "EVM_BitRate_Mbps",
                              "EVM_OFDM_SymClkErr_ppm",
                              "EVM_OFDM_IQGainImbal_dB",
                              "EVM_OFDM_IQQuadErr",
                              "EVM_CCK_ChipClkErr_ppm",
                              "SpectralMask_PeakPower_dBm",
                              "GatedSpectrum_Frequencies",
                              "GatedSpectrum_Powers",
                              "EVM_11n_MCS",
                              "EVM_11n_Ch1_BurstPower",
                              "EVM_11n_Ch2_BurstPower",
                              "EVM_11n_Ch3_BurstPower",
                              "EVM_11n_Ch4_BurstPower",
                              "EVM_11n_SymClkErr_ppm",
                              "EVM_11n_Ch1_IQGainImbal_dB",
                              "EVM_11n_Ch1_IQQuadErr",
                              "EVM_11n_Ch2_IQGainImbal_dB",
                              "EVM_11n_Ch2_IQQuadErr",
                              "EVM_11n_Ch3_IQGainImbal_dB",
                              "EVM_11n_Ch3_IQQuadErr",
                              "EVM_11n_Ch4_IQGainImbal_dB",
                              "EVM_11n_Ch4_IQQuadErr",
                              nullptr};

double modulationFormat() {
  const int32_t code = lastResults().modulationFormat;
  return code >= 0 && code <= kModulationFormatLast ? code : TEVRA_MODULATION_UNKNOWN;
}

server::Instrument& live() {
  return server::instrument();
}

struct ScalarResult {
  const char* name;
  int32_t position;  // 0: none is stored
  double (*read)();
};

const ScalarResult kScalars[] = {
    {"EVM_BurstGood", 6839, [] { return double(lastResults().burstGood); }},
    {"EVM_FrequencyError_Hz", 6841, [] { return lastResults().frequencyErrorHz; }},
    {"EVM_GatedPower_dBm", 6837, [] { return lastResults().gatedPowerDbm; }},
    {"EVM_IQOffset_dB", 6838, [] { return lastResults().iqOffsetDb; }},
    {"EVM_ModulationFormat", 0, modulationFormat},
    {"EVM_RmsEVM_Percent", 6840, [] { return lastResults().rmsEvmPercent; }},
    {"EVM_BitRate_Mbps", 6868, [] { return lastResults().bitRateMbps; }},
    {"EVM_OFDM_SymClkErr_ppm", 6871, [] { return live().get_IEEE80211a_Demod_SymClkErr(); }},
    {"EVM_OFDM_IQGainImbal_dB", 6876, [] { return live().get_IEEE80211a_Demod_IQGainImbal(); }},
    {"EVM_OFDM_IQQuadErr", 6879, [] { return live().get_IEEE80211a_Demod_IQQuadErr(); }},
    {"EVM_CCK_ChipClkErr_ppm", 6884, [] { return live().get_IEEE80211b_Demod_ChipClkErr(); }},
    {"SpectralMask_PeakPower_dBm", 6887, [] { return lastResults().spectralMaskPeakPowerDbm; }},
    {"EVM_11n_Ch1_BurstPower", 6890, [] { return live().get_IEEE80211n_Demod_Ch1_BurstPower(); }},
    {"EVM_11n_Ch2_BurstPower", 6891, [] { return live().get_IEEE80211n_Demod_Ch2_BurstPower(); }},
    {"EVM_11n_Ch3_BurstPower", 6902, [] { return live().get_IEEE80211n_Demod_Ch3_BurstPower(); }},
    {"EVM_11n_Ch4_BurstPower", 6903, [] { return live().get_IEEE80211n_Demod_Ch4_BurstPower(); }},
    {"EVM_11n_SymClkErr_ppm", 6893, [] { return live().get_IEEE80211n_Demod_SymClkErr(); }},
    {"EVM_11n_Ch1_IQGainImbal_dB", 6895, [] { return live().get_IEEE80211n_Demod_Ch1_IQGainImbal(); }},
    {"EVM_11n_Ch1_IQQuadErr", 6896, [] { return live().get_IEEE80211n_Demod_Ch1_IQQuadErr(); }},
    {"EVM_11n_Ch2_IQGainImbal_dB", 6897, [] { return live().get_IEEE80211n_Demod_Ch2_IQGainImbal(); }},
    {"EVM_11n_Ch2_IQQuadErr", 6898, [] { return live().get_IEEE80211n_Demod_Ch2_IQQuadErr(); }},
    {"EVM_11n_Ch3_IQGainImbal_dB", 6905, [] { return live().get_IEEE80211n_Demod_Ch3_IQGainImbal(); }},
    {"EVM_11n_Ch3_IQQuadErr", 6906, [] { return live().get_IEEE80211n_Demod_Ch3_IQQuadErr(); }},
    {"EVM_11n_Ch4_IQGainImbal_dB", 6907, [] { return live().get_IEEE80211n_Demod_Ch4_IQGainImbal(); }},
    {"EVM_11n_Ch4_IQQuadErr", 6908, [] { return live().get_IEEE80211n_Demod_Ch4_IQQuadErr(); }},
    {"EVM_11n_MCS", 6911, [] { return double(lastResults().mcs); }},
};

struct ArrayResult {
  const char* name;
  int32_t readPosition;
  int32_t lockPosition;
  int32_t unlockPosition;
  int32_t destroyPosition;
  platform::SafeArrayHandle (*read)();
};

const ArrayResult kArrays[] = {
    {"GatedSpectrum_Frequencies", 6916, 6917, 6921, 6922,
     [] { return live().get_GatedSpectrum_Frequencies(); }},
    {"GatedSpectrum_Powers", 6927, 6928, 6932, 6933, [] { return live().get_GatedSpectrum_Powers(); }},
};

void check(int32_t position, platform::HRESULT hr) {
  server::setPosition(position);
  if (platform::FAILED(hr)) _com_issue_error(hr);
}

// Copies the server's array of doubles into value; more than TEVRA_EXTRA_RESULT_VALUES_MAX values, or an
// array of another shape, fail the call without writing.
int32_t copyArray(const ArrayResult& result, double* value) {
  server::setPosition(result.readPosition);
  platform::SafeArrayHandle array = result.read();
  if (array.null()) return 0;
  const int32_t code = kExtraFrame.failureCode;
  if (array.elementType() != platform::VT_R8 || array.dimensions() != 1) {
    return core::traceFailure(code, "ERR %d,%s is not a one-dimensional array of doubles", code, result.name);
  }
  if (array.count() > TEVRA_EXTRA_RESULT_VALUES_MAX) {
    return core::traceFailure(code, "ERR %d,%s has %u values, the bound is %d", code, result.name,
                              array.count(), TEVRA_EXTRA_RESULT_VALUES_MAX);
  }
  const uint32_t count = array.count();
  check(result.lockPosition, array.lock());
  std::memcpy(value, array.data(), count * sizeof(double));
  check(result.unlockPosition, array.unlock());
  check(result.destroyPosition, array.destroy());
  return static_cast<int32_t>(count);
}

// 1 with a scalar, the element count of an array, 0 for an unknown name.
int32_t lookUp(const char* name, double* value) {
  for (const auto& scalar : kScalars) {
    if (!core::sameName(name, scalar.name)) continue;
    if (scalar.position != 0) server::setPosition(scalar.position);
    *value = scalar.read();
    return 1;
  }
  for (const auto& array : kArrays) {
    if (core::sameName(name, array.name)) return copyArray(array, value);
  }
  return 0;
}

}  // namespace
}  // namespace tevra::measure

using namespace tevra;

extern "C" int32_t Tevra_GetExtraMeasureResult(const char* Name, double* Value) {
  using measure::kExtraFrame;
  core::CallFrame frame(kExtraFrame);
  frame.start("%s", core::orEmpty(Name));
  if (Value == nullptr) {
    const int32_t code = core::traceFailure(kExtraFrame.failureCode, "ERR %d,null value pointer for %s(%s)",
                                            kExtraFrame.failureCode, kExtraFrame.name, core::orEmpty(Name));
    return frame.endWithArguments(code, "%s", core::orEmpty(Name));
  }
  if (Name == nullptr || *Name == '\0') {
    server::setPosition(6831);
    const char* const* table = measure::kNames;
    std::memcpy(Value, &table, sizeof table);
    frame.endWithoutResult("0x%016" PRIXPTR, reinterpret_cast<uintptr_t>(table));
    return 0;
  }
  const int32_t result = frame.guard([&] { return measure::lookUp(Name, Value); });
  return frame.endWithArguments(result, "%s,%g", Name, Value[0]);
}
