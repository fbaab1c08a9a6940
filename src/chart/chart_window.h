// The chart window: a QCustomPlot chart of one request over a row of four buttons (Print, X AutoScale,
// Y AutoScale, Exit). Lives on the GUI thread.
#pragma once

#include <QDialog>
#include <QPushButton>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "src/chart/chart_model.h"
#include "src/chart/chart_request.h"

class QCustomPlot;

namespace tevra::chart {

// End codes of a chart window.
inline constexpr int32_t kEndByTimer = 0;
inline constexpr int32_t kEndByExit = 2;
inline constexpr int32_t kEndCannotCreate = -1;
inline constexpr int32_t kEndStartFailed = -10236;

class ChartWindow : public QDialog {
 public:
  // returnTo: the window that gets the focus back when this one closes (0 for none). onEnd receives the
  // end code once, when the window closes.
  ChartWindow(std::shared_ptr<const ChartRequest> request, int32_t returnTo, std::function<void(int)> onEnd);
  ~ChartWindow() override;

  // Builds the chart, starts the close-after timer and shows the window. Throws on a failure of the chart.
  void start();

  // Closes the window with the end code of the Exit button (also for the close box and Escape).
  void reject() override;
  void done(int code) override;

  const ChartRequest& request() const { return *request_; }
  QCustomPlot& plot() const { return *plot_; }
  QPushButton& button(ButtonIndex index) const { return *buttons_[index]; }
  bool ready() const { return ready_; }
  int32_t returnTo() const { return returnTo_; }
  // The tooltip for a position on the chart: the text of the data point under it, else empty.
  std::string tipAt(const QPoint& position) const;
  // Saves the chart as PNG and PDF beside the trace file and traces where; returns the PNG path (empty on
  // a failure).
  std::string saveBesideTrace();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void configureChart();
  void loadSeries();
  void addSeries(int32_t series, const QColor& colour, bool points);
  void resetXAxis();
  // The mask chart's rule, else the data's range; Y AutoScale fits every kind to its data.
  void setValueAxis();
  void fitValueAxisToData();
  void applyLayout();
  void restoreFocus() const;

  std::shared_ptr<const ChartRequest> request_;
  int32_t returnTo_;
  std::function<void(int)> onEnd_;
  QCustomPlot* plot_;
  std::array<QPushButton*, 4> buttons_{};
  // Graph data is kept sorted by x: pointOf_[s][k] is the request's point shown as data index k of series s.
  std::vector<std::vector<int32_t>> pointOf_;
  QSize buttonSize_;
  bool ready_ = false;
  bool ended_ = false;
};

}  // namespace tevra::chart
