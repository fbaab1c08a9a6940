#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>

#include "platform/ui/window.h"
#include "tests/chart/chart_support.h"
#include "tevra.h"

namespace tevra::chart::test {
namespace {

class ChartNoDisplay : public ChartTraceTest {};

TEST_F(ChartNoDisplay, ReturnsCannotCreateAtOnce) {
  if (platform::DisplayAvailable()) GTEST_SKIP() << "a display is reachable";
  const double v[] = {2.4e9, -40};
  EXPECT_EQ(Tevra_Chart_Spectrum(1, v, v + 1, "none", 0, 0), -1);
  EXPECT_EQ(Tevra_Chart_SpectralMask(1, v, v + 1, v + 1, "none", 0, 1), -1);
  EXPECT_EQ(lines(), (std::vector<std::string>{
                         "> Start Chart_Spectrum(1,...)",
                         "ERR -1,Chart_Spectrum(): the chart window cannot be created (no display)",
                         "> End of Chart_Spectrum(), RetCode = -1",
                         "> Start Chart_SpectralMask(1,...)",
                         "ERR -1,Chart_SpectralMask(): the chart window cannot be created (no display)",
                         "> End of Chart_SpectralMask(), RetCode = -1",
                     }));
}

class ChartOnX : public ChartTraceTest {};

int run(const std::string& command) {
  return std::system(command.c_str());
}

// A real window on an X server (Xvfb): a screenshot of it, then a click on its Exit button. A second
// window is left open: the process must still end cleanly, its GUI thread ended by the exit handler.
TEST_F(ChartOnX, ExitButtonClickedOnTheScreenEndsWithTwo) {
  if (std::getenv("TEVRA_CHART_ON_X") == nullptr) GTEST_SKIP() << "runs under xvfb-run (ctest chart_xvfb)";
  ASSERT_TRUE(platform::DisplayAvailable());
  const char* shot = std::getenv("TEVRA_CHART_SCREENSHOT");
  const std::string screenshot = shot != nullptr ? shot : dir_.file("chart.png");
  std::remove(screenshot.c_str());
  const double x[] = {2.40e9, 2.42e9, 2.437e9, 2.45e9, 2.47e9};
  const double y[] = {-62.5, -45, -31, -44, -60};
  const double limit[] = {-50, -40, -35, -40, -50};

  std::promise<QRect> exitButton;
  std::future<QRect> opened = exitButton.get_future();
  setWindowOpenedHookForTest([&](ChartWindow& w) {
    setWindowOpenedHookForTest({});
    exitButton.set_value(w.button(kExit).geometry());
  });
  std::future<int32_t> result = std::async(
      std::launch::async, [&] { return Tevra_Chart_SpectralMask(5, x, y, limit, "Xvfb chart", 0, 0); });
  ASSERT_EQ(opened.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  const QRect button = opened.get();
  ASSERT_EQ(run("xdotool search --sync --name '^Xvfb chart$' >/dev/null"), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // let the window paint
  EXPECT_EQ(run("import -window root '" + screenshot + "'"), 0);
  const std::string click = "xdotool search --name '^Xvfb chart$' mousemove --window %1 " +
                            std::to_string(button.center().x()) + " " + std::to_string(button.center().y()) +
                            " click 1";
  EXPECT_EQ(run(click), 0);
  ASSERT_EQ(result.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  EXPECT_EQ(result.get(), 2);
  EXPECT_EQ(Tevra_Chart_Spectrum(5, x, y, "left open at exit", 0, 1), 0);
  EXPECT_GT(tevra::test::readFile(screenshot).size(), 1000u);
}

class ChartHostApplication : public ChartTraceTest {};

// A program with a Qt application of its own: the windows open there, and no GUI thread is started.
TEST_F(ChartHostApplication, WindowsOpenOnTheProgramsApplication) {
  if (std::getenv("TEVRA_CHART_HOST_APP") == nullptr)
    GTEST_SKIP() << "runs alone (ctest chart_host_application)";
  const double x[] = {2.4e9, 2.5e9};
  const double y[] = {-40, -30};
  {
    int argc = 1;
    char name[] = "station";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    EXPECT_EQ(Tevra_Chart_Spectrum(2, x, y, "modal here", 1, 0), 0);
    bool opened = false;
    setWindowOpenedHookForTest([&](ChartWindow& w) {
      opened = w.thread() == application.thread();
      w.done(kEndByExit);
    });
    EXPECT_EQ(Tevra_Chart_XY(2, x, y, "own thread", 0, 1), 0);
    EXPECT_TRUE(opened);
    setWindowOpenedHookForTest({});
    auto fromWorker =
        std::async(std::launch::async, [&] { return Tevra_Chart_OBW(2, x, y, "worker", 1, 0); });
    while (fromWorker.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) {
      QApplication::processEvents();
    }
    EXPECT_EQ(fromWorker.get(), 0);
  }
  int argc = 1;
  char name[] = "console";
  char* argv[] = {name, nullptr};
  QCoreApplication console(argc, argv);
  const uint64_t mark = tevra::test::traceMark(trace_);
  EXPECT_EQ(Tevra_Chart_Spectrum(2, x, y, "no widgets", 0, 0), -1);
  EXPECT_EQ(
      tevra::test::readTraceLines(trace_, mark)[1],
      "ERR -1,Chart_Spectrum(): the chart window cannot be created (the program's Qt application has no "
      "widgets)");
}

}  // namespace
}  // namespace tevra::chart::test
