#include "src/chart/chart_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tevra::chart {
namespace {

// Whole 10 dB steps, held well inside int so that extreme values cannot overflow the arithmetic below.
int64_t tensOf(double value) {
  return static_cast<int64_t>(std::clamp(value, -1e12, 1e12));
}

const char* seriesLabel(const ChartRequest& request, int32_t series, char* buffer, size_t size) {
  switch (request.kind) {
    case ChartKind::kMultiTraces:
      std::snprintf(buffer, size, "Trace #%d\n", series + 1);
      return buffer;
    case ChartKind::kXy:
      return "XY\n";
    default:
      return series == 1 ? "Limit Line\n" : "Spectrum\n";
  }
}

}  // namespace

Rgb rgbOf(uint32_t colorRef) {
  return {static_cast<int>(colorRef & 0xFF), static_cast<int>((colorRef >> 8) & 0xFF),
          static_cast<int>((colorRef >> 16) & 0xFF)};
}

std::optional<AxisRange> xAxisRangeGHz(const ChartRequest& request) {
  if (request.count <= 0 || request.x.empty()) return std::nullopt;
  const double first = request.x.front() / kHzPerGHz;
  const double last = request.x.back() / kHzPerGHz;
  return AxisRange{std::min(first, last), std::max(first, last)};
}

std::optional<AxisRange> maskValueAxis(const ChartRequest& request) {
  if (request.kind != ChartKind::kSpectralMask || request.seriesCount() < 2) return std::nullopt;
  double lowest = NAN;
  double highest = NAN;
  for (int32_t series = 0; series < 2; ++series) {
    for (int32_t point = 0; point < request.count; ++point) {
      const double v = request.value(series, point);
      if (!std::isfinite(v)) continue;
      lowest = std::isnan(lowest) ? v : std::min(lowest, v);
      highest = std::isnan(highest) ? v : std::max(highest, v);
    }
  }
  return maskValueAxis(lowest, highest);
}

std::optional<AxisRange> maskValueAxis(double lowest, double highest) {
  if (!std::isfinite(lowest) || !std::isfinite(highest) || !(lowest < highest)) return std::nullopt;
  const int64_t hi = tensOf(std::ceil(highest / 10));
  const int64_t lo = tensOf(std::floor(lowest / 10));
  const int64_t span = hi - lo;
  for (const int64_t steps : {5, 10, 15}) {
    if (span < steps) {
      const int64_t minimum = (lo - (steps - span) / 2) * 10;
      return AxisRange{static_cast<double>(minimum), static_cast<double>(minimum + steps * 10)};
    }
  }
  return AxisRange{static_cast<double>(lo * 10), static_cast<double>(hi * 10)};
}

std::string tipText(const ChartRequest& request, int32_t series, int32_t point) {
  if (!request.hasPoint(series, point)) return {};
  char label[32];
  char text[160];
  std::snprintf(text, sizeof text, "%s%7.5f GHz, %4.2f dBm",
                seriesLabel(request, series, label, sizeof label),
                request.x[static_cast<size_t>(point)] * 1e-9, request.value(series, point));
  return text;
}

WindowLayout layoutWindow(int width, int height, int buttonWidth, int buttonHeight) {
  WindowLayout layout{};
  const int chartHeight = std::max(0, height - buttonHeight);
  layout.chart = {0, 0, width, chartHeight};
  for (int i = 0; i < 4; ++i) {
    layout.buttons[i] = {width - (4 - i) * buttonWidth, chartHeight, buttonWidth, buttonHeight};
  }
  return layout;
}

}  // namespace tevra::chart
