// The gated spectrum (its span, averaging and capture count, the trace with its band power, the 802.11
// masks judged on it) and the auto-range measurement. Each INITiate keeps the analyzer busy for the
// modelled time, as the other measurements do; the FETCh queries answer once it has finished.
#include <string>

#include "sim/dsp/spectral_mask.h"
#include "sim/instrument/command_helpers.h"
#include "sim/instrument/instrument.h"
#include "sim/scpi/scpi_error.h"

namespace tevra::sim {
namespace {

using scpi::ScpiError;
namespace errc = scpi::errc;

GatedSpectrumSetup& setup(CommandContext& c) {
  return c.instrument.gatedSpectrum().setup();
}

SignalSource sourceOf(Instrument& i) {
  return SignalSource(i.generator(), i.memory(), i.measurements().profile());
}

void holdBusy(Instrument& i, double seconds) {
  auto modelled = std::chrono::duration<double>(seconds);
  i.measurements().holdBusy(i.clock().now() +
                            std::chrono::duration_cast<SimClock::Clock::duration>(modelled));
}

template <class Result>
const Result& finished(CommandContext& c, const std::optional<Result>& result, size_t parameters = 0) {
  c.expectParameters(parameters, parameters);
  if (c.instrument.measurements().busy(c.instrument.clock().now()))
    throw ScpiError{errc::kExecutionError, "measurement running"};
  if (!result) throw ScpiError{errc::kExecutionError, "no measurement result"};
  return *result;
}

std::string formatTrace(const GatedSpectrumResult& r) {
  std::string out;
  for (double value : {r.centreHz, r.spectrum.startHz, r.spectrum.stepHz, r.spectrum.rbwHz})
    out += scpi::formatReal(value) + ",";
  out += scpi::formatBoolean(r.overload) + "," + scpi::formatReal(r.bandPowerDbm) + "," +
         scpi::formatInteger(static_cast<int64_t>(r.spectrum.dbm.size()));
  for (double dbm : r.spectrum.dbm) out += "," + scpi::formatReal(dbm);
  return out;
}

std::string formatMask(CommandContext& c, const GatedSpectrumResult& r) {
  static const std::vector<dsp::MaskCorner>* const kMasks[] = {&dsp::ofdmMask(), &dsp::dsssMask(),
                                                               &dsp::ht20Mask(), &dsp::ht40Mask()};
  size_t standard = scpi::toChoice(c.parameter(0), {"OFDM", "DSSS", "HT20", "HT40"});
  dsp::MaskResult mask = dsp::evaluateMask(r.spectrum, *kMasks[standard]);
  return scpi::formatReal(mask.marginDb) + "," + scpi::formatReal(mask.worstOffsetHz) + "," +
         scpi::formatReal(mask.referenceDbm);
}

void addSetup(CommandTable& table) {
  table.add(
      "SENSe:SPECtrum:GATed:WIDTh",
      [](CommandContext& c) {
        c.expectParameters(1, 1);
        int width = scpi::toInt(c.parameter(0));
        if (width < 1 || width > GatedSpectrumSetup::kWidestCode)
          throw ScpiError{errc::kDataOutOfRange, "width is 1, 2, 3 or 4"};
        setup(c).width = width;
      },
      [](CommandContext& c) {
        c.expectParameters(0, 0);
        return scpi::formatInteger(setup(c).width);
      });
  table.add(
      "SENSe:SPECtrum:GATed:AVERage:TYPE",
      [](CommandContext& c) {
        c.expectParameters(1, 1);
        size_t choice = scpi::toChoice(c.parameter(0), {"POWer", "LOG", "MAXimum"});
        setup(c).averaging = static_cast<SpectrumAveraging>(choice);
      },
      [](CommandContext& c) {
        c.expectParameters(0, 0);
        static constexpr const char* kNames[] = {"POW", "LOG", "MAX"};
        return std::string(kNames[static_cast<size_t>(setup(c).averaging)]);
      });
  table.add(
      "SENSe:SPECtrum:GATed:AVERage:COUNt",
      [](CommandContext& c) {
        c.expectParameters(1, 1);
        int count = scpi::toInt(c.parameter(0));
        if (count < 1 || count > 1000) throw ScpiError{errc::kDataOutOfRange, "count is 1 to 1000"};
        setup(c).count = count;
      },
      [](CommandContext& c) {
        c.expectParameters(0, 0);
        return scpi::formatInteger(setup(c).count);
      });
}

}  // namespace

void addGatedSpectrumCommands(CommandTable& table) {
  addSetup(table);
  table.add(
      "INITiate:SPECtrum:GATed",
      [](CommandContext& c) {
        c.expectParameters(0, 0);
        Instrument& i = c.instrument;
        holdBusy(i, i.gatedSpectrum().measureSpectrum(sourceOf(i), i.analyzer()));
      },
      nullptr);
  table.add("FETCh:SPECtrum:GATed", nullptr, [](CommandContext& c) {
    return formatTrace(finished(c, c.instrument.gatedSpectrum().spectrum()));
  });
  table.add("FETCh:SPECtrum:GATed:MASK", nullptr, [](CommandContext& c) {
    return formatMask(c, finished(c, c.instrument.gatedSpectrum().spectrum(), 1));
  });
  table.add(
      "INITiate:AUTorange",
      [](CommandContext& c) {
        c.expectParameters(0, 0);
        Instrument& i = c.instrument;
        holdBusy(i, i.gatedSpectrum().measureAutoRange(sourceOf(i), i.analyzer()));
      },
      nullptr);
  table.add("FETCh:AUTorange", nullptr, [](CommandContext& c) {
    const AutoRangeResult& r = finished(c, c.instrument.gatedSpectrum().autoRange());
    return scpi::formatReal(r.peakDbm) + "," + scpi::formatReal(r.burstDbm) + "," +
           scpi::formatReal(r.burstLengthS) + "," + scpi::formatBoolean(r.burstFound);
  });
}

}  // namespace tevra::sim
