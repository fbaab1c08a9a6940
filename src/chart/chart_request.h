// What a chart window shows: the kind of chart, the traces (copied from the caller) and the window's
// caption, timer and mode.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "src/core/frame.h"

namespace tevra::chart {

enum class ChartKind : int32_t { kSpectrum = 1, kSpectralMask = 2, kObw = 3, kMultiTraces = 4, kXy = 5 };

inline constexpr size_t kTitleMax = 99;

// The caller's arguments as the exported functions take them.
struct ChartArguments {
  ChartKind kind = ChartKind::kSpectrum;
  int32_t count = 0;
  const double* x = nullptr;
  const double* y = nullptr;
  const double* limit = nullptr;
  int32_t traces = 0;
  const double* matrix = nullptr;
  int32_t extra = 0;
  const char* title = nullptr;
  int32_t closeAfterSeconds = 0;
  int32_t ownThread = 0;
};

// The request a window plots from. It owns copies of every array, so a window never reads the caller's
// memory after the exported function has returned.
struct ChartRequest {
  ChartKind kind = ChartKind::kSpectrum;
  int32_t count = 0;  // points per trace, 0 for an empty chart
  std::vector<double> x;
  std::vector<double> y;
  std::vector<double> limit;
  int32_t traces = 0;
  std::vector<double> matrix;  // trace t point i at t * count + i
  int32_t extra = 0;           // kept with the request, not shown
  std::string title;           // at most kTitleMax bytes; empty keeps the default caption
  int32_t closeAfterSeconds = 0;
  bool ownThread = false;

  // The series a chart of this kind shows (none while count is 0), and the value of point `point` of
  // series `series`; hasPoint tells whether that point exists.
  int32_t seriesCount() const;
  bool hasPoint(int32_t series, int32_t point) const;
  double value(int32_t series, int32_t point) const;
};

// The call frame of the exported function that shows a kind of chart: its name and failure code.
const core::FrameInfo& frameInfo(ChartKind kind);

// Why arguments cannot make a request; empty when they can.
std::string refusalReason(const ChartArguments& arguments);

// Copies the arguments into a request. The arguments must have passed refusalReason.
ChartRequest makeRequest(const ChartArguments& arguments);

}  // namespace tevra::chart
