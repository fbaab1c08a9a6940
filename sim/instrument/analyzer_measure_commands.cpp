// The analyzer's measurements: INITiate starts one, STATus:MEASurement:BUSY? tells whether it still runs,
// FETCh reads the last result of a kind; :SIMulation:PROFile changes the device-under-test profile.
#include <stdexcept>
#include <string>

#include "sim/dsp/spectral_mask.h"
#include "sim/instrument/command_table.h"
#include "sim/instrument/instrument.h"
#include "sim/scpi/parameters.h"
#include "sim/scpi/scpi_error.h"

namespace tevra::sim {
namespace {

using scpi::ScpiError;
namespace errc = scpi::errc;

void addInitiate(CommandTable& table, std::string_view pattern, MeasurementKind kind) {
  table.add(
      pattern,
      [kind](CommandContext& c) {
        c.expectParameters(0, 0);
        Instrument& i = c.instrument;
        i.measurements().initiate(kind, i.generator(), i.memory(), i.analyzer(), i.clock().now());
      },
      nullptr);
}

// The result of a kind once the measurement has finished; -200 while it runs or before the first one.
template <class Result>
const Result& finished(CommandContext& c, const std::optional<Result>& result) {
  c.expectParameters(0, 0);
  if (c.instrument.measurements().busy(c.instrument.clock().now()))
    throw ScpiError{errc::kExecutionError, "measurement running"};
  if (!result) throw ScpiError{errc::kExecutionError, "no measurement result"};
  return *result;
}

std::string joined(std::initializer_list<std::string> fields) {
  std::string out;
  for (const std::string& f : fields) out += (out.empty() ? "" : ",") + f;
  return out;
}

std::string formatPower(const PowerResult& r) {
  return joined({scpi::formatReal(r.averageDbm), scpi::formatReal(r.peakDbm), scpi::formatReal(r.burstDbm),
                 scpi::formatBoolean(r.burstFound), scpi::formatBoolean(r.overload)});
}

std::string formatDemod(const DemodResult& r) {
  return joined({scpi::formatBoolean(r.burstGood), scpi::formatReal(r.evmPercent), scpi::formatReal(r.evmDb),
                 scpi::formatReal(r.frequencyErrorHz), scpi::formatReal(r.iqOffsetDb),
                 scpi::formatReal(r.dataRateMbps), scpi::formatReal(r.gatedPowerDbm),
                 scpi::formatBoolean(r.overload)});
}

std::string formatSpectrum(const SpectrumResult& r) {
  std::string out = joined({scpi::formatReal(r.spectrum.startHz), scpi::formatReal(r.spectrum.stepHz),
                            scpi::formatReal(r.spectrum.rbwHz), scpi::formatBoolean(r.overload),
                            scpi::formatInteger(static_cast<int64_t>(r.spectrum.dbm.size()))});
  for (double dbm : r.spectrum.dbm) out += "," + scpi::formatReal(dbm);
  return out;
}

// The impairment and flatness estimates are made on 20 MHz bursts only.
const DemodResult& narrowBurst(const DemodResult& r) {
  if (r.wide) throw ScpiError{errc::kExecutionError, "not measured on a 40 MHz burst"};
  return r;
}

// The estimates beside the OFDM demodulation: IQ gain imbalance (dB), quadrature error (degrees), symbol
// clock error (ppm), centre-frequency leakage (dB).
std::string formatOfdmImpairments(const DemodResult& r) {
  return joined({scpi::formatReal(r.iqGainImbalanceDb), scpi::formatReal(r.quadratureErrorDeg),
                 scpi::formatReal(r.clockErrorPpm), scpi::formatReal(r.iqOffsetDb)});
}

// Margin (dB), count, then each carrier's deviation (dB), lowest carrier first.
std::string formatFlatness(const DemodResult& r) {
  std::string out = joined(
      {scpi::formatReal(r.flatnessMarginDb), scpi::formatInteger(static_cast<int64_t>(r.flatnessDb.size()))});
  for (double db : r.flatnessDb) out += "," + scpi::formatReal(db);
  return out;
}

// Peak EVM (%), chip clock error (ppm), carrier suppression (dB, positive: the carrier below the burst).
std::string formatDsssImpairments(const DemodResult& r) {
  return joined({scpi::formatReal(r.evmPeakPercent), scpi::formatReal(r.clockErrorPpm),
                 scpi::formatReal(-r.iqOffsetDb)});
}

// The 802.11a/g mask judged on the last spectrum: margin (dB), where it is least (Hz), reference (dBm).
std::string formatMask(const SpectrumResult& r) {
  dsp::MaskResult mask = dsp::evaluateMask(r.spectrum, dsp::ofdmMask());
  return joined({scpi::formatReal(mask.marginDb), scpi::formatReal(mask.worstOffsetHz),
                 scpi::formatReal(mask.referenceDbm)});
}

}  // namespace

void addAnalyzerMeasureCommands(CommandTable& table) {
  addInitiate(table, "INITiate:POWer", MeasurementKind::kPower);
  addInitiate(table, "INITiate:SPECtrum", MeasurementKind::kSpectrum);
  addInitiate(table, "INITiate:DEModulation:OFDM", MeasurementKind::kOfdm);
  addInitiate(table, "INITiate:DEModulation:DSSS", MeasurementKind::kDsss);
  table.add("STATus:MEASurement:BUSY", nullptr, [](CommandContext& c) {
    c.expectParameters(0, 0);
    return scpi::formatBoolean(c.instrument.measurements().busy(c.instrument.clock().now()));
  });
  table.add("FETCh:POWer", nullptr,
            [](CommandContext& c) { return formatPower(finished(c, c.instrument.measurements().power())); });
  table.add("FETCh:POWer:CW:FREQuency", nullptr, [](CommandContext& c) {
    return scpi::formatReal(finished(c, c.instrument.measurements().power()).toneOffsetHz);
  });
  table.add("FETCh:SPECtrum", nullptr, [](CommandContext& c) {
    return formatSpectrum(finished(c, c.instrument.measurements().spectrum()));
  });
  table.add("FETCh:SPECtrum:MASK:OFDM", nullptr, [](CommandContext& c) {
    return formatMask(finished(c, c.instrument.measurements().spectrum()));
  });
  table.add("FETCh:SPECtrum:OBW", nullptr, [](CommandContext& c) {
    return scpi::formatReal(
        dsp::occupiedBandwidthHz(finished(c, c.instrument.measurements().spectrum()).spectrum));
  });
  table.add("FETCh:DEModulation:DSSS", nullptr, [](CommandContext& c) {
    const DemodResult& r = finished(c, c.instrument.measurements().dsss());
    return formatDemod(r) + "," + (r.shortPreamble ? "SHOR" : "LONG");
  });
  table.add("FETCh:DEModulation:OFDM", nullptr, [](CommandContext& c) {
    const DemodResult& r = finished(c, c.instrument.measurements().ofdm());
    return formatDemod(r) + "," + scpi::formatInteger(r.mcs) + "," + scpi::formatInteger(r.wide ? 40 : 20);
  });
  table.add("FETCh:DEModulation:OFDM:IMPairments", nullptr, [](CommandContext& c) {
    return formatOfdmImpairments(narrowBurst(finished(c, c.instrument.measurements().ofdm())));
  });
  table.add("FETCh:DEModulation:OFDM:FLATness", nullptr, [](CommandContext& c) {
    return formatFlatness(narrowBurst(finished(c, c.instrument.measurements().ofdm())));
  });
  table.add("FETCh:DEModulation:DSSS:IMPairments", nullptr, [](CommandContext& c) {
    return formatDsssImpairments(finished(c, c.instrument.measurements().dsss()));
  });
  table.add(
      "CALibration[:ALL]",
      [](CommandContext& c) {
        c.expectParameters(0, 0);
        c.instrument.measurements().calibrate(c.instrument.clock().now());
      },
      nullptr);
  table.addControl(
      "SIMulation:PROFile",
      [](CommandContext& c) {
        c.expectParameters(1, 1);
        try {
          c.instrument.measurements().applyProfile(scpi::toText(c.parameter(0)));
        } catch (const std::invalid_argument& e) {
          throw ScpiError{errc::kIllegalParameterValue, e.what()};
        }
      },
      [](CommandContext& c) {
        c.expectParameters(0, 0);
        return scpi::formatString(dsp::profileToJson(c.instrument.measurements().profile()));
      });
}

}  // namespace tevra::sim
