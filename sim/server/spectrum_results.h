// What the server keeps of the analyzer's gated spectrum between a start and the reads that follow it:
// the trace (fetched once, after the measurement has finished), the mask judged on it, and the findings
// an auto-range still has to collect.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "sim/server/server_settings.h"

namespace tevra::q7730 {

struct GatedTrace {
  double centreHz = 0;
  double startHz = 0;  // offset of the first point from the centre
  double stepHz = 0;
  double rbwHz = 0;
  bool overload = false;
  double bandPowerDbm = 0;
  std::vector<double> dbm;

  double frequencyHz(size_t i) const { return centreHz + startHz + stepHz * static_cast<double>(i); }
};

enum class MaskStandard { kOfdm, kDsss, kHt20, kHt40 };

struct MaskFinding {
  GatedTrace trace;
  double marginDb = 0;  // positive: the trace stays below the mask everywhere
  double peakDbm = 0;   // the trace's highest point, to which the mask is relative
};

struct SpectrumResults {
  std::optional<GatedTrace> gated;
  bool bandPowerEnabled = false;  // for the last gated spectrum started
  std::optional<MaskStandard> maskStarted;
  std::optional<MaskFinding> mask;
  AutoRangeFindings* autoRangePending = nullptr;  // the findings a started auto-range will set
  bool autoRangeCountsSymbols = false;
};

}  // namespace tevra::q7730
