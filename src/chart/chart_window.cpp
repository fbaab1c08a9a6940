#include "src/chart/chart_window.h"

#include <qcustomplot.h>

#include <QApplication>
#include <QHelpEvent>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <numeric>

#include "platform/kernel/kernel.h"
#include "src/core/frame.h"
#include "src/log/driver_logs.h"

namespace tevra::chart {
namespace {

constexpr QSize kInitialSize{720, 480};

QColor colourOf(uint32_t colorRef) {
  const Rgb rgb = rgbOf(colorRef);
  return QColor(rgb.red, rgb.green, rgb.blue);
}

// x ascending with not-a-number values last, a strict weak order even for such values.
bool xBefore(double a, double b) {
  if (std::isnan(a)) return false;
  if (std::isnan(b)) return true;
  return a < b;
}

std::vector<int32_t> pointsByX(const std::vector<double>& x) {
  std::vector<int32_t> order(x.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) { return xBefore(x[a], x[b]); });
  return order;
}

int closeAfterMilliseconds(int32_t seconds) {
  return static_cast<int>(std::min<int64_t>(static_cast<int64_t>(seconds) * 1000, INT_MAX));
}

bool saveOnClose() {
  const char* value = std::getenv("TEVRA_CHART_SAVE");
  return value != nullptr && std::strcmp(value, "1") == 0;
}

// "<folder of the trace file>/Chart_<yymmdd>-<hhmmss>-<n>", numbered so that two charts saved in one
// second keep apart.
std::filesystem::path imageBase() {
  static std::atomic<int> serial{0};
  std::filesystem::path folder = std::filesystem::path(log::traceLog().fileName()).parent_path();
  if (folder.empty()) folder = std::filesystem::current_path();
  const platform::SystemTime now = platform::GetLocalTime();
  char name[64];
  std::snprintf(name, sizeof name, "Chart_%02d%02d%02d-%02d%02d%02d-%d", now.year % 100, now.month, now.day,
                now.hour, now.minute, now.second, ++serial);
  return folder / name;
}

}  // namespace

ChartWindow::ChartWindow(std::shared_ptr<const ChartRequest> request, int32_t returnTo,
                         std::function<void(int)> onEnd)
    : request_(std::move(request)),
      returnTo_(returnTo),
      onEnd_(std::move(onEnd)),
      plot_(new QCustomPlot(this)) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  setWindowTitle(QStringLiteral("Chart"));
  setSizeGripEnabled(true);
  plot_->installEventFilter(this);
  for (int i = 0; i < 4; ++i) buttons_[i] = new QPushButton(QString::fromLatin1(kButtonLabels[i]), this);
  buttons_[kExit]->setDefault(true);
  buttons_[kExit]->setFocus();
  connect(buttons_[kExit], &QPushButton::clicked, this, [this] { done(kEndByExit); });
  connect(buttons_[kXAutoScale], &QPushButton::clicked, this, [this] {
    resetXAxis();
    plot_->replot();
  });
  connect(buttons_[kYAutoScale], &QPushButton::clicked, this, [this] {
    fitValueAxisToData();
    plot_->replot();
  });
  connect(buttons_[kPrint], &QPushButton::clicked, this, [this] { saveBesideTrace(); });
}

ChartWindow::~ChartWindow() = default;

void ChartWindow::start() {
  if (request_->count > 0) configureChart();
  // Every button is as large as the largest label needs; the Exit button's size then sets the layout.
  QSize size = buttons_[kExit]->sizeHint();
  for (QPushButton* b : buttons_) size = size.expandedTo(b->sizeHint());
  for (QPushButton* b : buttons_) b->setFixedSize(size);
  buttonSize_ = buttons_[kExit]->size();
  if (!request_->title.empty()) setWindowTitle(QString::fromUtf8(request_->title.c_str()));
  if (request_->closeAfterSeconds > 0) {
    QTimer::singleShot(closeAfterMilliseconds(request_->closeAfterSeconds), this,
                       [this] { done(kEndByTimer); });
  }
  resize(kInitialSize);
  applyLayout();
  show();
  raise();
  activateWindow();
  ready_ = true;
}

void ChartWindow::configureChart() {
  plot_->yAxis->setLabel(QStringLiteral("Amplitude (dBm)"));
  plot_->xAxis->setLabel(QStringLiteral("Frequency (GHz)"));
  loadSeries();
  plot_->xAxis->setNumberFormat(QStringLiteral("f"));
  plot_->xAxis->setNumberPrecision(3);
  for (QCPAxis* axis : {plot_->xAxis, plot_->yAxis}) axis->grid()->setPen(QPen(colourOf(kGridColour)));
  resetXAxis();
  setValueAxis();
  plot_->replot();
}

void ChartWindow::loadSeries() {
  const int32_t series = request_->seriesCount();
  for (int32_t s = 0; s < series; ++s) {
    // Traces after the first of a multi-trace chart get hues of their own.
    const QColor colour = s == 0 ? colourOf(kSpectrumColour)
                          : request_->kind == ChartKind::kSpectralMask
                              ? colourOf(kLimitColour)
                              : QColor::fromHsv((s * 67) % 360, 200, 190);
    addSeries(s, colour, request_->kind == ChartKind::kXy);
  }
}

void ChartWindow::addSeries(int32_t series, const QColor& colour, bool points) {
  QCPGraph* graph = plot_->addGraph();
  graph->setPen(QPen(colour, 2));
  if (points) {
    graph->setLineStyle(QCPGraph::lsNone);
    graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, 5));
  }
  const std::vector<int32_t> order = pointsByX(request_->x);
  QVector<double> keys;
  QVector<double> values;
  keys.reserve(static_cast<int>(order.size()));
  values.reserve(static_cast<int>(order.size()));
  for (const int32_t point : order) {
    keys.push_back(request_->x[point] / kHzPerGHz);
    values.push_back(request_->value(series, point));
  }
  graph->setData(keys, values, true);
  pointOf_.push_back(order);
}

void ChartWindow::resetXAxis() {
  if (const auto range = xAxisRangeGHz(*request_)) plot_->xAxis->setRange(range->lower, range->upper);
}

void ChartWindow::setValueAxis() {
  if (const auto range = maskValueAxis(*request_)) {
    plot_->yAxis->setRange(range->lower, range->upper);
  } else {
    fitValueAxisToData();
  }
}

void ChartWindow::fitValueAxisToData() {
  if (plot_->graphCount() > 0) plot_->yAxis->rescale();
}

void ChartWindow::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  applyLayout();
}

void ChartWindow::applyLayout() {
  const QSize size = buttonSize_.isValid() ? buttonSize_ : buttons_[kExit]->sizeHint();
  const WindowLayout layout = layoutWindow(width(), height(), size.width(), size.height());
  plot_->setGeometry(layout.chart.x, layout.chart.y, layout.chart.width, layout.chart.height);
  for (int i = 0; i < 4; ++i) {
    const Rect& r = layout.buttons[i];
    buttons_[i]->setGeometry(r.x, r.y, r.width, r.height);
  }
}

std::string ChartWindow::tipAt(const QPoint& position) const {
  if (!ready_ || request_->count < 1) return {};
  int dataIndex = -1;
  QCPAbstractPlottable* plottable = plot_->plottableAt(position, false, &dataIndex);
  if (plottable == nullptr) return {};
  for (int32_t s = 0; s < plot_->graphCount() && s < static_cast<int32_t>(pointOf_.size()); ++s) {
    if (plot_->graph(s) != plottable) continue;
    if (dataIndex < 0 || dataIndex >= static_cast<int>(pointOf_[s].size())) return {};
    return tipText(*request_, s, pointOf_[s][dataIndex]);
  }
  return {};
}

bool ChartWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == plot_ && event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const std::string text = tipAt(help->pos());
    if (text.empty()) {
      QToolTip::hideText();
    } else {
      QToolTip::showText(help->globalPos(), QString::fromUtf8(text.c_str()), plot_);
    }
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

std::string ChartWindow::saveBesideTrace() {
  const std::filesystem::path base = imageBase();
  std::string png = base.string() + ".png";
  const std::string pdf = base.string() + ".pdf";
  if (!plot_->savePng(QString::fromStdString(png)) || !plot_->savePdf(QString::fromStdString(pdf))) {
    const int32_t code = frameInfo(request_->kind).failureCode;
    core::traceFailure(code, "ERR %d,chart not saved to %s", code, png.c_str());
    return {};
  }
  log::traceLog().LogIt("Chart saved to %s and %s", png.c_str(), pdf.c_str());
  return png;
}

void ChartWindow::reject() {
  done(kEndByExit);
}

void ChartWindow::done(int code) {
  if (ended_) return;
  ended_ = true;
  if (ready_ && saveOnClose()) saveBesideTrace();
  QDialog::done(code);
  restoreFocus();
  if (onEnd_) onEnd_(code);
}

void ChartWindow::restoreFocus() const {
  if (returnTo_ == 0) return;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget == this || static_cast<int32_t>(widget->internalWinId()) != returnTo_) continue;
    widget->show();
    widget->raise();
    widget->activateWindow();
    return;
  }
}

}  // namespace tevra::chart
