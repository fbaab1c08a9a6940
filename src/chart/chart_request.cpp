#include "src/chart/chart_request.h"

#include <cstdio>
#include <cstring>
#include <iterator>

namespace tevra::chart {
namespace {

bool takesY(ChartKind kind) {
  return kind != ChartKind::kMultiTraces;
}

std::vector<double> copyOf(const double* values, size_t count) {
  return values == nullptr ? std::vector<double>() : std::vector<double>(values, values + count);
}

std::string boundedTitle(const char* title) {
  if (title == nullptr) return {};
  return std::string(title, strnlen(title, kTitleMax));
}

// No used-time line: a chart call lasts as long as the operator looks.
const core::FrameInfo kFrames[] = {
    {"Chart_Spectrum", -7308, log::StatEntry::kNone, false},
    {"Chart_SpectralMask", -7265, log::StatEntry::kNone, false},
    {"Chart_OBW", -7351, log::StatEntry::kNone, false},
    {"Chart_MultiTraces", -7397, log::StatEntry::kNone, false},
    {"Chart_XY", -7220, log::StatEntry::kNone, false},
};

}  // namespace

const core::FrameInfo& frameInfo(ChartKind kind) {
  const auto index = static_cast<size_t>(kind) - 1;
  return kFrames[index < std::size(kFrames) ? index : 0];
}

int32_t ChartRequest::seriesCount() const {
  if (count <= 0) return 0;
  switch (kind) {
    case ChartKind::kSpectralMask:
      return 2;
    case ChartKind::kMultiTraces:
      return traces > 0 ? traces : 0;
    default:
      return 1;
  }
}

bool ChartRequest::hasPoint(int32_t series, int32_t point) const {
  return series >= 0 && series < seriesCount() && point >= 0 && point < count;
}

double ChartRequest::value(int32_t series, int32_t point) const {
  if (!hasPoint(series, point)) return 0.0;
  const size_t index = static_cast<size_t>(point);
  if (kind == ChartKind::kMultiTraces) return matrix[static_cast<size_t>(series) * count + index];
  return series == 1 ? limit[index] : y[index];
}

std::string refusalReason(const ChartArguments& a) {
  char reason[80] = "";
  if (a.count < 0) {
    std::snprintf(reason, sizeof reason, "negative point count %d", a.count);
  } else if (a.count > 0 && a.x == nullptr) {
    std::snprintf(reason, sizeof reason, "null x array");
  } else if (a.count > 0 && takesY(a.kind) && a.y == nullptr) {
    std::snprintf(reason, sizeof reason, "null y array");
  } else if (a.count > 0 && a.kind == ChartKind::kSpectralMask && a.limit == nullptr) {
    std::snprintf(reason, sizeof reason, "null limit array");
  } else if (a.kind == ChartKind::kMultiTraces && a.traces < 0) {
    std::snprintf(reason, sizeof reason, "negative trace count %d", a.traces);
  } else if (a.kind == ChartKind::kMultiTraces && a.count > 0 && a.traces > 0 && a.matrix == nullptr) {
    std::snprintf(reason, sizeof reason, "null trace matrix");
  }
  return reason;
}

ChartRequest makeRequest(const ChartArguments& a) {
  ChartRequest r;
  r.kind = a.kind;
  r.count = a.count;
  r.traces = a.traces;
  r.extra = a.extra;
  r.title = boundedTitle(a.title);
  r.closeAfterSeconds = a.closeAfterSeconds;
  r.ownThread = a.ownThread != 0;
  if (a.count <= 0) return r;
  const size_t n = static_cast<size_t>(a.count);
  r.x = copyOf(a.x, n);
  if (takesY(a.kind)) r.y = copyOf(a.y, n);
  if (a.kind == ChartKind::kSpectralMask) r.limit = copyOf(a.limit, n);
  if (a.kind == ChartKind::kMultiTraces && a.traces > 0) r.matrix = copyOf(a.matrix, n * a.traces);
  return r;
}

}  // namespace tevra::chart
