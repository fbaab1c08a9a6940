// Where chart windows live: the host program's Qt application when it has one, else a GUI thread that the
// library starts on first use and ends when it is unloaded.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "src/chart/chart_request.h"

namespace tevra::chart {

class ChartWindow;

// Opens a window for the request. Modal: waits until it closes and returns its end code. Own thread:
// returns 0 once the window is on its way. Without a window system returns kEndCannotCreate (-1) at once and
// says why in `reason`.
int32_t showChart(std::shared_ptr<const ChartRequest> request, std::string& reason);

// Closes every chart window (end code 2) and ends the library's GUI thread; later charts cannot be
// created. Called when the library is unloaded.
void shutDownCharts();

// Test hook: called on the GUI thread with every window that has opened.
void setWindowOpenedHookForTest(std::function<void(ChartWindow&)> hook);

}  // namespace tevra::chart
