// The demodulation and composite measurements over the simulated analyzer's demodulators: 802.11a/g and
// 802.11n (one stream) on the OFDM demodulator, 802.11b and its carrier suppression on the DSSS one. Each
// start captures and demodulates anew; the results are fetched from the last demodulation of that kind.
// Units: EVM in percent (the 802.11a/g composite EVM in dB), frequency errors measured minus nominal in Hz
// (ppm of the centre frequency for the composite ones), powers in dBm, clock errors in ppm, carrier
// suppression in positive dB.
#include <cstddef>
#include <iterator>
#include <vector>

#include "sim/server/q7730_server.h"
#include "sim/server/server_failure.h"
#include "tevra.h"

namespace tevra::q7730 {
namespace {

using platform::S_OK;

struct Demodulator {
  const char* initiate;
  const char* fetch;
  size_t fields;
  const char* impairments;
  size_t impairmentFields;
};

constexpr Demodulator kOfdm{"INITiate:DEModulation:OFDM", "FETCh:DEModulation:OFDM?", 10,
                            "FETCh:DEModulation:OFDM:IMPairments?", 4};
constexpr Demodulator kDsss{"INITiate:DEModulation:DSSS", "FETCh:DEModulation:DSSS?", 8,
                            "FETCh:DEModulation:DSSS:IMPairments?", 3};
constexpr const char* kFlatnessFetch = "FETCh:DEModulation:OFDM:FLATness?";

// Fields of the demodulation fetch, and of the impairment fetches of each demodulator.
enum DemodField : size_t {
  kBurstGood,
  kEvmPercent,
  kEvmDb,
  kFrequencyErrorHz,
  kIqOffsetDb,
  kDataRateMbps,
  kGatedPowerDbm,
  kOverload,
  kMcs,
  kChannelWidthMHz
};
enum OfdmImpairment : size_t { kGainImbalanceDb, kQuadratureErrorDeg, kSymbolClockPpm, kLeakageDb };
enum DsssImpairment : size_t { kPeakEvmPercent, kChipClockPpm, kCarrierSuppressionDb };
// The flatness fetch: margin, count, then the deviations.
enum FlatnessField : size_t { kFlatnessMargin, kFlatnessCount, kFlatnessFirst };

void start(ScpiLink& link, const Demodulator& d) {
  link.run({d.initiate});
}
double field(ScpiLink& link, const Demodulator& d, size_t index) {
  return link.fetchNumbers(d.fetch, d.fields)[index];
}
double impairment(ScpiLink& link, const Demodulator& d, size_t index) {
  return link.fetchNumbers(d.impairments, d.impairmentFields)[index];
}
HRESULT answer(double value, double* out) {
  *out = value;
  return S_OK;
}
HRESULT answer(bool value, VARIANT_BOOL* out) {
  *out = variantBool(value);
  return S_OK;
}
HRESULT answer(int32_t value, int32_t* out) {
  *out = value;
  return S_OK;
}

// The bit rates in the order of the demodulators' data-rate index, with the composite measurements'
// modulation format of each.
struct Rate {
  double mbps;
  int32_t format;
};
constexpr Rate kRates[] = {
    {6, TEVRA_MODULATION_BPSK_1_2},   {9, TEVRA_MODULATION_BPSK_3_4},   {12, TEVRA_MODULATION_QPSK_1_2},
    {18, TEVRA_MODULATION_QPSK_3_4},  {24, TEVRA_MODULATION_16QAM_1_2}, {36, TEVRA_MODULATION_16QAM_3_4},
    {48, TEVRA_MODULATION_64QAM_2_3}, {54, TEVRA_MODULATION_64QAM_3_4}, {1, TEVRA_MODULATION_DBPSK},
    {2, TEVRA_MODULATION_DQPSK},      {5.5, TEVRA_MODULATION_CCK_5_5},  {11, TEVRA_MODULATION_CCK_11},
};

// -1 for a rate outside the table (an HT burst's, or none).
int32_t rateIndex(double mbps) {
  for (size_t i = 0; i < std::size(kRates); ++i)
    if (kRates[i].mbps == mbps) return static_cast<int32_t>(i);
  return -1;
}

int32_t modulationFormat(ScpiLink& link, const Demodulator& d) {
  const std::vector<double> r = link.fetchNumbers(d.fetch, d.fields);
  const int32_t index = rateIndex(r[kDataRateMbps]);
  return r[kBurstGood] != 0 && index >= 0 ? kRates[index].format : TEVRA_MODULATION_NONE;
}

[[noreturn]] void oneReceiveChannel(const char* operation) {
  failf(platform::E_NOTIMPL, "%s: the simulated analyzer has one receive channel", operation);
}

}  // namespace

double Q7730Server::ppmOfCentre(double hz) const {
  return hz / (settings_.Frequency * 1e-6);
}

HRESULT Q7730Server::IEEE80211b_Demod_Initiate() {
  start(link_, kDsss);
  return S_OK;
}
HRESULT Q7730Server::IEEE80211a_Demod_Initiate() {
  start(link_, kOfdm);
  return S_OK;
}
HRESULT Q7730Server::IEEE80211n_Demod_Initiate() {
  start(link_, kOfdm);
  return S_OK;
}
HRESULT Q7730Server::get_IEEE80211b_Demod_OverLoad(VARIANT_BOOL* out) {
  return answer(field(link_, kDsss, kOverload) != 0, out);
}
HRESULT Q7730Server::get_IEEE80211a_Demod_OverLoad(VARIANT_BOOL* out) {
  return answer(field(link_, kOfdm, kOverload) != 0, out);
}
HRESULT Q7730Server::get_IEEE80211n_Demod_OverLoad(VARIANT_BOOL* out) {
  return answer(field(link_, kOfdm, kOverload) != 0, out);
}
HRESULT Q7730Server::get_IEEE80211b_Demod_BurstGood(VARIANT_BOOL* out) {
  return answer(field(link_, kDsss, kBurstGood) != 0, out);
}
// A burst in a 20 MHz channel is good for the 802.11a/g demodulator.
HRESULT Q7730Server::get_IEEE80211a_Demod_BurstGood(VARIANT_BOOL* out) {
  const std::vector<double> r = link_.fetchNumbers(kOfdm.fetch, kOfdm.fields);
  return answer(r[kBurstGood] != 0 && r[kChannelWidthMHz] == 20, out);
}
// Only an HT-mixed burst in the channel width that IEEE80211n_Demod_HT40 names is good for the 802.11n
// demodulator.
HRESULT Q7730Server::get_IEEE80211n_Demod_BurstGood(VARIANT_BOOL* out) {
  const std::vector<double> r = link_.fetchNumbers(kOfdm.fetch, kOfdm.fields);
  double width = settings_.IEEE80211n_Demod_HT40 != 0 ? 40 : 20;
  return answer(r[kBurstGood] != 0 && r[kMcs] >= 0 && r[kChannelWidthMHz] == width, out);
}
HRESULT Q7730Server::get_IEEE80211b_Demod_PeakEVM(double* out) {
  return answer(impairment(link_, kDsss, kPeakEvmPercent), out);
}
HRESULT Q7730Server::get_IEEE80211b_Demod_RmsEVM(double* out) {
  return answer(field(link_, kDsss, kEvmPercent), out);
}
HRESULT Q7730Server::get_IEEE80211a_Demod_RmsEVM(double* out) {
  return answer(field(link_, kOfdm, kEvmPercent), out);
}
// One stream on one receive channel: the channel's EVM is the stream's.
HRESULT Q7730Server::get_IEEE80211n_Demod_Chan1EVM(double* out) {
  return answer(field(link_, kOfdm, kEvmPercent), out);
}
HRESULT Q7730Server::get_IEEE80211n_Demod_Stream1EVM(double* out) {
  return answer(field(link_, kOfdm, kEvmPercent), out);
}
HRESULT Q7730Server::get_IEEE80211b_Demod_FrequencyError(double* out) {
  return answer(field(link_, kDsss, kFrequencyErrorHz), out);
}
HRESULT Q7730Server::get_IEEE80211a_Demod_FrequencyError(double* out) {
  return answer(field(link_, kOfdm, kFrequencyErrorHz), out);
}
HRESULT Q7730Server::get_IEEE80211n_Demod_FrequencyError(double* out) {
  return answer(field(link_, kOfdm, kFrequencyErrorHz), out);
}
HRESULT Q7730Server::get_IEEE80211b_Demod_IQOffset(double* out) {
  return answer(field(link_, kDsss, kIqOffsetDb), out);
}
HRESULT Q7730Server::get_IEEE80211a_Demod_IQOffset(double* out) {
  return answer(field(link_, kOfdm, kIqOffsetDb), out);
}
HRESULT Q7730Server::get_IEEE80211b_Demod_GatedPower(double* out) {
  return answer(field(link_, kDsss, kGatedPowerDbm), out);
}
HRESULT Q7730Server::get_IEEE80211a_Demod_GatedPower(double* out) {
  return answer(field(link_, kOfdm, kGatedPowerDbm), out);
}
HRESULT Q7730Server::get_IEEE80211b_Demod_DataRate(int32_t* out) {
  return answer(rateIndex(field(link_, kDsss, kDataRateMbps)), out);
}
HRESULT Q7730Server::get_IEEE80211a_Demod_DataRate(int32_t* out) {
  return answer(rateIndex(field(link_, kOfdm, kDataRateMbps)), out);
}
HRESULT Q7730Server::get_IEEE80211n_Demod_MCS(int32_t* out) {
  return answer(static_cast<int32_t>(field(link_, kOfdm, kMcs)), out);
}
HRESULT Q7730Server::get_IEEE80211a_Demod_SymClkErr(double* out) {
  return answer(impairment(link_, kOfdm, kSymbolClockPpm), out);
}
HRESULT Q7730Server::get_IEEE80211a_Demod_IQGainImbal(double* out) {
  return answer(impairment(link_, kOfdm, kGainImbalanceDb), out);
}
HRESULT Q7730Server::get_IEEE80211a_Demod_IQQuadErr(double* out) {
  return answer(impairment(link_, kOfdm, kQuadratureErrorDeg), out);
}
HRESULT Q7730Server::get_IEEE80211b_Demod_ChipClkErr(double* out) {
  return answer(impairment(link_, kDsss, kChipClockPpm), out);
}
HRESULT Q7730Server::get_IEEE80211n_Demod_SymClkErr(double* out) {
  return answer(impairment(link_, kOfdm, kSymbolClockPpm), out);
}
HRESULT Q7730Server::get_IEEE80211n_Demod_Ch1_BurstPower(double* out) {
  return answer(field(link_, kOfdm, kGatedPowerDbm), out);
}
HRESULT Q7730Server::get_IEEE80211n_Demod_Ch1_IQGainImbal(double* out) {
  return answer(impairment(link_, kOfdm, kGainImbalanceDb), out);
}
HRESULT Q7730Server::get_IEEE80211n_Demod_Ch1_IQQuadErr(double* out) {
  return answer(impairment(link_, kOfdm, kQuadratureErrorDeg), out);
}

#define Q7730_ONE_RECEIVE_CHANNEL(Name)      \
  HRESULT Q7730Server::get_##Name(double*) { \
    oneReceiveChannel(#Name);                \
  }
Q7730_ONE_RECEIVE_CHANNEL(IEEE80211n_Demod_Chan2EVM)
Q7730_ONE_RECEIVE_CHANNEL(IEEE80211n_Demod_Stream2EVM)
Q7730_ONE_RECEIVE_CHANNEL(IEEE80211n_Demod_Ch2_BurstPower)
Q7730_ONE_RECEIVE_CHANNEL(IEEE80211n_Demod_Ch3_BurstPower)
Q7730_ONE_RECEIVE_CHANNEL(IEEE80211n_Demod_Ch4_BurstPower)
Q7730_ONE_RECEIVE_CHANNEL(IEEE80211n_Demod_Ch2_IQGainImbal)
Q7730_ONE_RECEIVE_CHANNEL(IEEE80211n_Demod_Ch3_IQGainImbal)
Q7730_ONE_RECEIVE_CHANNEL(IEEE80211n_Demod_Ch4_IQGainImbal)
Q7730_ONE_RECEIVE_CHANNEL(IEEE80211n_Demod_Ch2_IQQuadErr)
Q7730_ONE_RECEIVE_CHANNEL(IEEE80211n_Demod_Ch3_IQQuadErr)
Q7730_ONE_RECEIVE_CHANNEL(IEEE80211n_Demod_Ch4_IQQuadErr)
#undef Q7730_ONE_RECEIVE_CHANNEL

// The composite measurements: every start is a new acquisition, so ForceInitiate and Initiate agree.
HRESULT Q7730Server::IEEE80211b_EVM_ForceInitiate() {
  start(link_, kDsss);
  return S_OK;
}
HRESULT Q7730Server::IEEE80211b_EVM_Initiate() {
  start(link_, kDsss);
  return S_OK;
}
HRESULT Q7730Server::get_IEEE80211b_EVM_OverLoad(VARIANT_BOOL* out) {
  return answer(field(link_, kDsss, kOverload) != 0, out);
}
HRESULT Q7730Server::get_IEEE80211b_EVM_Result(double* out) {
  return answer(field(link_, kDsss, kEvmPercent), out);
}
HRESULT Q7730Server::get_IEEE80211b_EVM_ModulationFormat(int32_t* out) {
  return answer(modulationFormat(link_, kDsss), out);
}
HRESULT Q7730Server::IEEE80211b_FrequencyError_Initiate() {
  start(link_, kDsss);
  return S_OK;
}
HRESULT Q7730Server::get_IEEE80211b_FrequencyError_OverLoad(VARIANT_BOOL* out) {
  return answer(field(link_, kDsss, kOverload) != 0, out);
}
HRESULT Q7730Server::get_IEEE80211b_FrequencyError_Result(double* out) {
  return answer(ppmOfCentre(field(link_, kDsss, kFrequencyErrorHz)), out);
}
HRESULT Q7730Server::IEEE80211a_EVM_ForceInitiate() {
  start(link_, kOfdm);
  return S_OK;
}
HRESULT Q7730Server::IEEE80211a_EVM_Initiate() {
  start(link_, kOfdm);
  return S_OK;
}
HRESULT Q7730Server::get_IEEE80211a_EVM_OverLoad(VARIANT_BOOL* out) {
  return answer(field(link_, kOfdm, kOverload) != 0, out);
}
HRESULT Q7730Server::get_IEEE80211a_EVM_Result(double* out) {
  return answer(field(link_, kOfdm, kEvmDb), out);
}
HRESULT Q7730Server::get_IEEE80211a_EVM_ModulationFormat(int32_t* out) {
  return answer(modulationFormat(link_, kOfdm), out);
}
HRESULT Q7730Server::IEEE80211a_FrequencyError_Initiate() {
  start(link_, kOfdm);
  return S_OK;
}
HRESULT Q7730Server::get_IEEE80211a_FrequencyError_OverLoad(VARIANT_BOOL* out) {
  return answer(field(link_, kOfdm, kOverload) != 0, out);
}
HRESULT Q7730Server::get_IEEE80211a_FrequencyError_Result(double* out) {
  return answer(ppmOfCentre(field(link_, kOfdm, kFrequencyErrorHz)), out);
}
HRESULT Q7730Server::IEEE80211a_CFL_Initiate() {
  start(link_, kOfdm);
  return S_OK;
}
HRESULT Q7730Server::get_IEEE80211a_CFL_OverLoad(VARIANT_BOOL* out) {
  return answer(field(link_, kOfdm, kOverload) != 0, out);
}
HRESULT Q7730Server::get_IEEE80211a_CFL_Result(double* out) {
  return answer(impairment(link_, kOfdm, kLeakageDb), out);
}
HRESULT Q7730Server::IEEE80211a_SpectralFlatness_Initiate() {
  start(link_, kOfdm);
  return S_OK;
}
HRESULT Q7730Server::get_IEEE80211a_SpectralFlatness_OverLoad(VARIANT_BOOL* out) {
  return answer(field(link_, kOfdm, kOverload) != 0, out);
}
HRESULT Q7730Server::get_IEEE80211a_SpectralFlatness_Margin(double* out) {
  return answer(link_.fetchNumbers(kFlatnessFetch, kFlatnessFirst)[kFlatnessMargin], out);
}
HRESULT Q7730Server::get_IEEE80211a_SpectralFlatness_NumResults(int32_t* out) {
  return answer(static_cast<int32_t>(link_.fetchNumbers(kFlatnessFetch, kFlatnessFirst)[kFlatnessCount]),
                out);
}
// Result i is carrier i from the lowest (-26 for a legacy burst), in dB from the inner carriers' mean.
HRESULT Q7730Server::IEEE80211a_SpectralFlatness_Result(int32_t index, double* out) {
  const std::vector<double> r = link_.fetchNumbers(kFlatnessFetch, kFlatnessFirst);
  const size_t count = r.size() - kFlatnessFirst;
  if (index < 0 || static_cast<size_t>(index) >= count) {
    failf(platform::E_INVALIDARG,
          "IEEE80211a_SpectralFlatness_Result index %d out of range (0 to %zu results)",
          static_cast<int>(index), count);
  }
  return answer(r[kFlatnessFirst + static_cast<size_t>(index)], out);
}

// Carrier suppression is measured on the 802.11b demodulation: the burst's power over its carrier leakage.
HRESULT Q7730Server::IEEE80211b_CarrierSuppression_ForceInitiate() {
  start(link_, kDsss);
  return S_OK;
}
HRESULT Q7730Server::IEEE80211b_CarrierSuppression_Initiate() {
  start(link_, kDsss);
  return S_OK;
}
HRESULT Q7730Server::get_IEEE80211b_CarrierSuppression_OverLoad(VARIANT_BOOL* out) {
  return answer(field(link_, kDsss, kOverload) != 0, out);
}
HRESULT Q7730Server::get_IEEE80211b_CarrierSuppression_Result(double* out) {
  return answer(impairment(link_, kDsss, kCarrierSuppressionDb), out);
}

// The self-calibration runs on the instrument; the operation condition's bit 0 shows it running.
HRESULT Q7730Server::Calibrate() {
  link_.run({"CALibration:ALL"});
  return S_OK;
}
HRESULT Q7730Server::get_CalibrationRunning(VARIANT_BOOL* out) {
  constexpr int64_t kCalibratingBit = 1;
  const int64_t condition = link_.queryInteger("STATus:OPERation:CONDition?");
  link_.checkErrors();
  return answer((condition & kCalibratingBit) != 0, out);
}

}  // namespace tevra::q7730
