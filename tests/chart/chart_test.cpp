#include <qcustomplot.h>

#include <QApplication>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <set>
#include <thread>

#include "platform/ui/window.h"
#include "src/chart/chart_model.h"
#include "tests/chart/chart_support.h"
#include "tevra.h"

namespace tevra::chart::test {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

TEST(ChartModel, MaskAxisTooltipsLayoutAndColours) {
  const struct {
    double lowest, highest;
    std::optional<AxisRange> axis;
  } axes[] = {
      {-62.5, -31, AxisRange{-70, -20}},        // lo -7, hi -3: span 4 of 5
      {-80, -31, AxisRange{-100, 0}},           // span 5 of 10
      {-150, -31, AxisRange{-160, -10}},        // span 12 of 15
      {-200, 5, AxisRange{-200, 10}},           // span 21: lo and hi
      {-40, -40, std::nullopt},                 // no spread
      {NAN, -40, std::nullopt},                 // no finite lowest
      {-1e300, 1e300, AxisRange{-1e13, 1e13}},  // held, no overflow
  };
  for (const auto& a : axes)
    EXPECT_EQ(maskValueAxis(a.lowest, a.highest), a.axis) << a.lowest << " " << a.highest;

  const double x[] = {2.4e9, 2.437e9, 2.5e9};
  const double y[] = {-60, -31, -62.5};
  const double limit[] = {-50, -20, -50};
  const double matrix[] = {1, 2, 3, 4, 5, 6};
  const ChartRequest mask =
      makeRequest({.kind = ChartKind::kSpectralMask, .count = 3, .x = x, .y = y, .limit = limit});
  const ChartRequest traces =
      makeRequest({.kind = ChartKind::kMultiTraces, .count = 3, .x = x, .traces = 2, .matrix = matrix});
  const ChartRequest empty = makeRequest({.kind = ChartKind::kSpectrum});
  EXPECT_EQ(maskValueAxis(mask), (AxisRange{-90, 10}));  // -62.5 to -20: span 5 of 10
  const struct {
    const ChartRequest& request;
    int32_t series, point;
    const char* tip;
  } tips[] = {
      {mask, 0, 1, "Spectrum\n2.43700 GHz, -31.00 dBm"},
      {mask, 1, 2, "Limit Line\n2.50000 GHz, -50.00 dBm"},
      {traces, 1, 0, "Trace #2\n2.40000 GHz, 4.00 dBm"},
      {mask, 0, 3, ""},
      {mask, 2, 0, ""},
      {traces, 0, -1, ""},
      {empty, 0, 0, ""},
  };
  for (const auto& t : tips) EXPECT_EQ(tipText(t.request, t.series, t.point), t.tip);

  const WindowLayout layout = layoutWindow(400, 300, 80, 25);
  EXPECT_EQ(layout.chart, (Rect{0, 0, 400, 275}));
  EXPECT_EQ(layout.buttons, (std::array<Rect, 4>{Rect{80, 275, 80, 25}, Rect{160, 275, 80, 25},
                                                 Rect{240, 275, 80, 25}, Rect{320, 275, 80, 25}}));
  EXPECT_EQ(rgbOf(kSpectrumColour), (Rgb{0, 0, 0xC0}));
  EXPECT_EQ(rgbOf(kLimitColour), (Rgb{0xC0, 0, 0}));
}

// What the test reads from an open window on the GUI thread.
struct Observed {
  int graphs = 0;
  std::vector<QColor> pens;
  QCPRange x, y;
  QString xLabel, yLabel, caption;
  int precision = 0;
  std::vector<QRect> buttons;
  WindowLayout expectedLayout{};
  std::vector<std::string> tips;
  std::vector<double> values;
  int spectrumPixels = 0, limitPixels = 0;
};

// Pixels close to the colour (antialiased lines blend at their edges).
int pixelsOf(const QImage& image, uint32_t colorRef) {
  const Rgb rgb = rgbOf(colorRef);
  const auto near = [&](QRgb p) {
    return std::abs(qRed(p) - rgb.red) + std::abs(qGreen(p) - rgb.green) + std::abs(qBlue(p) - rgb.blue) < 60;
  };
  int count = 0;
  for (int row = 0; row < image.height(); ++row) {
    for (int column = 0; column < image.width(); ++column) count += near(image.pixel(column, row));
  }
  return count;
}

Observed observe(ChartWindow& window) {
  Observed o;
  QCustomPlot& plot = window.plot();
  plot.replot();
  o.graphs = plot.graphCount();
  for (int g = 0; g < o.graphs; ++g) o.pens.push_back(plot.graph(g)->pen().color());
  o.x = plot.xAxis->range();
  o.y = plot.yAxis->range();
  o.xLabel = plot.xAxis->label();
  o.yLabel = plot.yAxis->label();
  o.precision = plot.xAxis->numberPrecision();
  o.caption = window.windowTitle();
  const QSize b = window.button(kExit).size();
  o.expectedLayout = layoutWindow(window.width(), window.height(), b.width(), b.height());
  for (int i = 0; i < 4; ++i) o.buttons.push_back(window.button(static_cast<ButtonIndex>(i)).geometry());
  for (int g = 0; g < o.graphs; ++g) {
    for (const QCPGraphData& d : *plot.graph(g)->data()) {
      o.values.push_back(d.value);
      const QPoint at(static_cast<int>(plot.xAxis->coordToPixel(d.key)),
                      static_cast<int>(plot.yAxis->coordToPixel(d.value)));
      o.tips.push_back(window.tipAt(at));
    }
  }
  const QImage image = plot.toPixmap().toImage();
  o.spectrumPixels = pixelsOf(image, kSpectrumColour);
  o.limitPixels = pixelsOf(image, kLimitColour);
  return o;
}

class ChartWindowTest : public ChartTraceTest {};

// The lines of a trace in any order: lines of the GUI thread and of the caller interleave freely.
std::multiset<std::string> unordered(const std::vector<std::string>& lines) {
  return {lines.begin(), lines.end()};
}

TEST_F(ChartWindowTest, OwnThreadMaskChartShowsItsModelFromCopiedArrays) {
  auto* x = new double[5]{2.40e9, 2.42e9, 2.437e9, 2.45e9, 2.47e9};
  auto* y = new double[5]{-62.5, -45, -31, -44, -60};
  auto* limit = new double[5]{-50, -40, -35, -40, -50};
  Observed o;
  QCPRange xAutoScaled, yAutoScaled;
  const int32_t rc = withNextWindow(
      [&](ChartWindow& window) {
        o = observe(window);
        window.plot().xAxis->setRange(0, 1);
        window.button(kXAutoScale).click();
        xAutoScaled = window.plot().xAxis->range();
        window.button(kYAutoScale).click();
        yAutoScaled = window.plot().yAxis->range();
        window.button(kPrint).click();
        window.done(kEndByExit);
      },
      [&] {
        const int32_t result = Tevra_Chart_SpectralMask(5, x, y, limit, "Mask 2437 MHz", 0, 1);
        delete[] x;  // the window has copies: freeing here must not reach it
        delete[] y;
        delete[] limit;
        return result;
      });
  EXPECT_EQ(rc, 0);
  ASSERT_EQ(o.graphs, 2);
  EXPECT_EQ(o.pens, (std::vector<QColor>{QColor(0, 0, 0xC0), QColor(0xC0, 0, 0)}));
  EXPECT_DOUBLE_EQ(o.x.lower, 2.40);
  EXPECT_DOUBLE_EQ(o.x.upper, 2.47);
  EXPECT_EQ(o.y, QCPRange(-70, -20));
  EXPECT_EQ(o.xLabel, "Frequency (GHz)");
  EXPECT_EQ(o.yLabel, "Amplitude (dBm)");
  EXPECT_EQ(o.precision, 3);
  EXPECT_EQ(o.caption, "Mask 2437 MHz");
  for (int i = 0; i < 4; ++i) {
    const Rect& r = o.expectedLayout.buttons[i];
    EXPECT_EQ(o.buttons[i], QRect(r.x, r.y, r.width, r.height)) << kButtonLabels[i];
  }
  EXPECT_EQ(o.values, (std::vector<double>{-62.5, -45, -31, -44, -60, -50, -40, -35, -40, -50}));
  ASSERT_EQ(o.tips.size(), 10u);
  EXPECT_EQ(o.tips[2], "Spectrum\n2.43700 GHz, -31.00 dBm");
  EXPECT_EQ(o.tips[7], "Limit Line\n2.43700 GHz, -35.00 dBm");
  EXPECT_GT(o.spectrumPixels, 50);
  EXPECT_GT(o.limitPixels, 50);
  EXPECT_EQ(xAutoScaled, QCPRange(2.40, 2.47));
  EXPECT_EQ(yAutoScaled, QCPRange(-62.5, -31));
  const std::string image = dir_.path() + "/Chart_";
  const std::vector<std::string> traced = lines();
  const auto saved = std::find_if(traced.begin(), traced.end(), [&](const std::string& line) {
    return line.rfind("Chart saved to " + image, 0) == 0;
  });
  ASSERT_NE(saved, traced.end());
  const std::string png = saved->substr(15, saved->find(" and ") - 15);
  EXPECT_GT(tevra::test::readFile(png).size(), 1000u);
  EXPECT_EQ(*saved, "Chart saved to " + png + " and " + png.substr(0, png.size() - 3) + "pdf");
  EXPECT_EQ(unordered(traced),
            unordered({"> Start Chart_SpectralMask(5,...)", "> End of Chart_SpectralMask(), RetCode = 0",
                       *saved, "L20045: DoModal(), RetCode 2"}));

  auto* frequencies = new double[3]{5.18e9, 5.2e9, 5.22e9};
  auto* matrix = new double[6]{-40, -20, -41, -50, -30, -51};
  Observed traces;
  EXPECT_EQ(withNextWindow(
                [&](ChartWindow& window) {
                  traces = observe(window);
                  window.done(kEndByExit);
                },
                [&] {
                  const int32_t result = Tevra_Chart_MultiTraces(3, frequencies, 2, matrix, 0, "", 0, 1);
                  delete[] frequencies;
                  delete[] matrix;
                  return result;
                }),
            0);
  EXPECT_EQ(traces.values, (std::vector<double>{-40, -20, -41, -50, -30, -51}));
  ASSERT_EQ(traces.tips.size(), 6u);
  EXPECT_EQ(traces.tips[4], "Trace #2\n5.20000 GHz, -30.00 dBm");
}

TEST_F(ChartWindowTest, ModalWindowsEndByExitOrTimerWithTheirCodes) {
  const double x[] = {5.18e9, 5.20e9, 5.22e9};
  const double y[] = {-40, -20, -41};
  const double matrix[] = {-40, -20, -41, -50, -30, -51};
  const std::string longTitle(150, 'T');
  const auto exit = [](ChartWindow& w) { w.button(kExit).click(); };
  const auto wait = [](ChartWindow&) {};
  const struct {
    const char* name;
    std::function<int32_t()> call;
    std::function<void(ChartWindow&)> action;
    int32_t result;
    int graphs;
    QString caption;
  } cases[] = {
      {"Chart_Spectrum", [&] { return Tevra_Chart_Spectrum(3, x, y, "Spectrum", 0, 0); }, exit, 2, 1,
       "Spectrum"},
      {"Chart_OBW", [&] { return Tevra_Chart_OBW(3, x, y, longTitle.c_str(), 1, 0); }, wait, 0, 1,
       QString(99, 'T')},
      {"Chart_MultiTraces", [&] { return Tevra_Chart_MultiTraces(3, x, 2, matrix, 7, "", 0, 0); }, exit, 2, 2,
       "Chart"},
      {"Chart_XY", [&] { return Tevra_Chart_XY(3, x, y, nullptr, 1, 0); }, wait, 0, 1, "Chart"},
      {"Chart_Spectrum", [&] { return Tevra_Chart_Spectrum(0, nullptr, nullptr, "empty", 1, 0); }, wait, 0, 0,
       "empty"},
  };
  for (const auto& c : cases) {
    const uint64_t mark = tevra::test::traceMark(trace_);
    int graphs = -1;
    QString caption;
    const auto started = steady_clock::now();
    EXPECT_EQ(withNextWindow(
                  [&](ChartWindow& w) {
                    graphs = w.plot().graphCount();
                    caption = w.windowTitle();
                    c.action(w);
                  },
                  c.call),
              c.result)
        << c.name;
    if (c.result == 0) {
      EXPECT_GE(steady_clock::now() - started, milliseconds(990)) << c.name;
    }
    EXPECT_EQ(graphs, c.graphs) << c.name;
    EXPECT_EQ(caption, c.caption) << c.name;
    tevra::test::expectTraceLines(
        trace_,
        {std::string("> Start ") + c.name + "(" + (c.graphs == 0 ? "0" : "3") + ",...)",
         std::string("> End of ") + c.name + "(), RetCode = " + std::to_string(c.result)},
        mark);
  }
}

TEST_F(ChartWindowTest, RefusedArgumentsGiveTheFailureCode) {
  const double v[] = {1, 2};
  const struct {
    std::function<int32_t()> call;
    int32_t result;
    const char* error;
  } cases[] = {
      {[&] { return Tevra_Chart_Spectrum(2, nullptr, v, "", 0, 1); }, -7308,
       "ERR -7308,Chart_Spectrum(): null x array"},
      {[&] { return Tevra_Chart_OBW(2, v, nullptr, "", 0, 0); }, -7351,
       "ERR -7351,Chart_OBW(): null y array"},
      {[&] { return Tevra_Chart_SpectralMask(2, v, v, nullptr, "", 0, 1); }, -7265,
       "ERR -7265,Chart_SpectralMask(): null limit array"},
      {[&] { return Tevra_Chart_MultiTraces(2, v, 3, nullptr, 0, "", 0, 1); }, -7397,
       "ERR -7397,Chart_MultiTraces(): null trace matrix"},
      {[&] { return Tevra_Chart_MultiTraces(2, v, -1, v, 0, "", 0, 1); }, -7397,
       "ERR -7397,Chart_MultiTraces(): negative trace count -1"},
      {[&] { return Tevra_Chart_XY(-4, v, v, "", 0, 0); }, -7220,
       "ERR -7220,Chart_XY(): negative point count -4"},
  };
  for (const auto& c : cases) {
    const uint64_t mark = tevra::test::traceMark(trace_);
    EXPECT_EQ(c.call(), c.result);
    const auto traced = tevra::test::readTraceLines(trace_, mark);
    ASSERT_EQ(traced.size(), 3u);
    EXPECT_EQ(traced[1], c.error);
  }
}

TEST_F(ChartWindowTest, OwnerWindowGetsTheFocusBack) {
  QWidget* owner = nullptr;
  int32_t ownerId = 0;
  // The first chart brings the GUI up; the owner window is made on its thread.
  withNextWindow(
      [&](ChartWindow& w) {
        owner = new QWidget;
        owner->setWindowTitle("station");
        owner->show();
        ownerId = static_cast<int32_t>(owner->winId());
        w.done(kEndByExit);
      },
      [] { return Tevra_Chart_Spectrum(0, nullptr, nullptr, "", 0, 0); });
  ASSERT_NE(ownerId, 0);
  EXPECT_EQ(Tevra_SetForegroundWindow(ownerId), ownerId);
  int32_t returnTo = 0;
  int32_t focusWhileOpen = 0;
  EXPECT_EQ(withNextWindow(
                [&](ChartWindow& w) {
                  returnTo = w.returnTo();
                  QApplication::processEvents();
                  focusWhileOpen = platform::GetForegroundWindow();
                  w.done(kEndByExit);
                },
                [] { return Tevra_Chart_Spectrum(0, nullptr, nullptr, "", 0, 0); }),
            2);
  EXPECT_EQ(returnTo, ownerId);
  EXPECT_NE(focusWhileOpen, ownerId);
  const auto deadline = steady_clock::now() + milliseconds(3000);
  while (platform::GetForegroundWindow() != ownerId && steady_clock::now() < deadline) {
    std::this_thread::sleep_for(milliseconds(10));
  }
  EXPECT_EQ(Tevra_SetForegroundWindow(0), ownerId);
  QMetaObject::invokeMethod(
      owner, [owner] { delete owner; }, Qt::BlockingQueuedConnection);
}

}  // namespace
}  // namespace tevra::chart::test
