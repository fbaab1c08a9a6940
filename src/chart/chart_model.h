// What a chart shows, worked out without the window: colours, axis ranges, tooltip texts and where the
// buttons go.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "src/chart/chart_request.h"

namespace tevra::chart {

// Colours as Windows COLORREF values, 0x00BBGGRR.
inline constexpr uint32_t kSpectrumColour = 0xC00000;
inline constexpr uint32_t kLimitColour = 0x0000C0;
inline constexpr uint32_t kGridColour = 0xC0C0C0;

struct Rgb {
  int red;
  int green;
  int blue;
  bool operator==(const Rgb&) const = default;
};
Rgb rgbOf(uint32_t colorRef);

struct AxisRange {
  double lower;
  double upper;
  bool operator==(const AxisRange&) const = default;
};

inline constexpr double kHzPerGHz = 1e9;

// The x axis in GHz, from the first to the last point; nothing for an empty chart.
std::optional<AxisRange> xAxisRangeGHz(const ChartRequest& request);

// The value axis of a mask chart, in whole 10 dB steps of 50, 100 or 150 dB around the spectrum and limit
// values; nothing for other kinds, an empty chart, or values that are all equal (or not finite).
std::optional<AxisRange> maskValueAxis(const ChartRequest& request);
// The same from the lowest and highest value.
std::optional<AxisRange> maskValueAxis(double lowest, double highest);

// The tooltip of one data point ("Spectrum\n2.43700 GHz, -31.00 dBm"); empty for a point that does not
// exist.
std::string tipText(const ChartRequest& request, int32_t series, int32_t point);

struct Rect {
  int x;
  int y;
  int width;
  int height;
  bool operator==(const Rect&) const = default;
};

enum ButtonIndex : int { kPrint = 0, kXAutoScale = 1, kYAutoScale = 2, kExit = 3 };
inline constexpr std::array<const char*, 4> kButtonLabels = {"Print", "X AutoScale", "Y AutoScale", "Exit"};

struct WindowLayout {
  Rect chart;
  std::array<Rect, 4> buttons;  // by ButtonIndex
};

// The chart over the whole width above one row of buttons, which sit right-aligned in the order Print,
// X AutoScale, Y AutoScale, Exit.
WindowLayout layoutWindow(int width, int height, int buttonWidth, int buttonHeight);

}  // namespace tevra::chart
