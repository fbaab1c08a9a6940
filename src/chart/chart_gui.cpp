#include "src/chart/chart_gui.h"

#include <qcustomplot.h>

#include <QApplication>
#include <QEventLoop>
#include <QOpenGLContext>
#include <QPixmapCache>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QWindow>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/com/com_error.h"
#include "platform/kernel/kernel.h"
#include "platform/ui/window.h"
#include "src/chart/chart_window.h"
#include "src/core/error_state.h"
#include "src/core/frame.h"
#include "src/log/driver_logs.h"
#include "src/session/session.h"

namespace tevra::chart {
namespace {

constexpr int32_t kDoModalLine = 20045;

enum class Gui { kNone, kOwnThread, kHostApplication };

// The GUI's state. Every object here is constant-initialised and has a trivial destructor, so it stays
// usable in exit handlers and leaves nothing behind when the library is unloaded.
std::mutex g_mutex;  // guards g_thread, g_shutDown and g_openedHook
std::thread* g_thread = nullptr;
bool g_shutDown = false;
std::function<void(ChartWindow&)>* g_openedHook = nullptr;
std::atomic<QApplication*> g_application{nullptr};
std::atomic<int32_t> g_focusWindow{0};

// Qt's messages go to the debugger output; a fatal one, after which Qt ends the process, also to stderr.
void toDebugOutput(QtMsgType type, const QMessageLogContext&, const QString& message) {
  const QByteArray text = message.toLocal8Bit();
  platform::OutputDebugString(text.constData());
  if (type == QtFatalMsg) std::fprintf(stderr, "%s\n", text.constData());
}

int32_t idOf(const QWindow* window) {
  return window != nullptr ? static_cast<int32_t>(window->winId()) : 0;
}

// Qt makes some statics on first use: the GL context store asked for when a window closes, the pixmap
// cache and font caches of the first paint. Made here, before the exit handler that ends this thread is
// registered (endBeforeQtAtExit), they are destroyed after it, not under a window that is still painting.
void makeQtStaticsNow() {
  QOpenGLContext::currentContext();
  QPixmap pixmap;
  QPixmapCache::find(QStringLiteral("tevra"), &pixmap);
  QWidget sample;
  QPushButton button(QStringLiteral("Exit"), &sample);
  QCustomPlot plot(&sample);
  plot.addGraph()->setData({1.0, 2.0}, {1.0, 2.0});
  plot.setGeometry(0, 0, 160, 120);
  sample.resize(160, 160);
  sample.grab();
}

// The GUI thread: a Qt application of the library's own, running until shutDownCharts() quits it.
void runGuiThread(std::promise<void>* ready) {
  const QtMessageHandler previousHandler = qInstallMessageHandler(toDebugOutput);
  static int argc = 1;
  static char name[] = "velkorin";
  static char* argv[] = {name, nullptr};
  QApplication application(argc, argv);
  platform::ReleaseDisplayProbe();
  QApplication::setQuitOnLastWindowClosed(false);
  makeQtStaticsNow();
  QObject::connect(&application, &QGuiApplication::focusWindowChanged,
                   [](QWindow* window) { g_focusWindow.store(idOf(window)); });
  platform::SetForegroundWindowSource([] { return g_focusWindow.load(); });
  g_application.store(&application);
  ready->set_value();
  QApplication::exec();
  platform::SetForegroundWindowSource({});
  g_application.store(nullptr);
  // Qt may outlive the library: it must not keep calling into it.
  qInstallMessageHandler(previousHandler);
}

// Exit handlers run in the reverse order of their registration, the destructors of Qt's own statics
// among them; the GUI thread must end before any static it uses is gone. Registered once the application
// exists and again once the first window has made the statics of the window system.
void endBeforeQtAtExit() {
  std::atexit(shutDownCharts);
}

// The window system the charts can use; starts the library's GUI thread when it is needed.
Gui ensureGui(std::string& reason) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_shutDown) {
    reason = "the library is shutting down";
    return Gui::kNone;
  }
  if (g_application.load() != nullptr) return Gui::kOwnThread;
  if (QCoreApplication* host = QCoreApplication::instance()) {
    if (qobject_cast<QApplication*>(host) != nullptr) return Gui::kHostApplication;
    reason = "the program's Qt application has no widgets";
    return Gui::kNone;
  }
  if (!platform::DisplayAvailable()) {
    reason = "no display";
    return Gui::kNone;
  }
  std::promise<void> ready;
  std::future<void> started = ready.get_future();
  g_thread = new std::thread(runGuiThread, &ready);
  started.wait();
  endBeforeQtAtExit();
  return Gui::kOwnThread;
}

void traceOwnThreadEnd(int code) {
  char text[64];
  std::snprintf(text, sizeof text, "L%d: DoModal(), RetCode %d", kDoModalLine, code);
  platform::OutputDebugString(text);
  log::traceLog().LogText(-1, text);
  platform::OutputDebugString("End of CChartThread::InitInstance()");
  platform::OutputDebugString("End of CChartThread::ExitInstance()");
}

// A failure while the window starts: traced like the call frame's handlers, without touching the COM last
// error; the window closes with kEndStartFailed.
void traceStartFailure(const _com_error* error) {
  if (error != nullptr) {
    core::traceFailure(kEndStartFailed, "ERR %d,L%d,0x%08X,%s", kEndStartFailed, core::position(),
                       static_cast<uint32_t>(error->Error()), core::describeComError(*error).c_str());
  } else {
    core::traceFailure(kEndStartFailed, "ERR %d,L%d,%s", kEndStartFailed, core::position(),
                       "*** Unhandled Exception ***");
  }
}

int32_t windowToReturnTo() {
  if (const int32_t owner = core::ownerWindow(); owner != 0) return owner;
  return idOf(QGuiApplication::focusWindow());
}

// On the GUI thread: creates, starts and shows the window. onEnd gets the end code once, also when the
// window cannot start. Returns the window while it is open.
ChartWindow* openWindow(std::shared_ptr<const ChartRequest> request, std::function<void(int)> onEnd) {
  const bool ownThread = request->ownThread;
  auto finish = [ownThread, onEnd = std::move(onEnd)](int code) {
    if (ownThread) traceOwnThreadEnd(code);
    if (onEnd) onEnd(code);
  };
  auto* window = new ChartWindow(std::move(request), windowToReturnTo(), finish);
  QObject::connect(window, &QDialog::finished, window, &QObject::deleteLater);
  try {
    window->start();
  } catch (const _com_error& error) {
    traceStartFailure(&error);
    window->done(kEndStartFailed);
    return nullptr;
  } catch (...) {
    traceStartFailure(nullptr);
    window->done(kEndStartFailed);
    return nullptr;
  }
  static std::once_flag firstWindow;
  std::call_once(firstWindow, endBeforeQtAtExit);
  std::function<void(ChartWindow&)> hook;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_openedHook != nullptr) hook = *g_openedHook;
  }
  if (hook) hook(*window);
  return window;
}

bool onThreadOf(const QObject* object) {
  return object->thread() == QThread::currentThread();
}

// A modal window on the GUI thread itself: a local event loop runs until the window ends.
int32_t runModalHere(std::shared_ptr<const ChartRequest> request) {
  auto code = std::make_shared<int>(kEndCannotCreate);
  auto ended = std::make_shared<bool>(false);
  QEventLoop loop;
  QPointer<QEventLoop> guard(&loop);
  openWindow(std::move(request), [code, ended, guard](int end) {
    *code = end;
    *ended = true;
    if (guard) guard->quit();
  });
  if (!*ended) loop.exec();
  return *code;
}

// From another thread: the window opens on the GUI thread. A modal call waits for its end code; should the
// GUI end before the window opened, the abandoned promise gives kEndCannotCreate.
int32_t postToGui(QCoreApplication* application, std::shared_ptr<const ChartRequest> request) {
  const bool modal = !request->ownThread;
  auto promise = std::make_shared<std::promise<int>>();
  std::future<int> result = promise->get_future();
  QMetaObject::invokeMethod(
      application,
      [request, promise, modal]() mutable {
        openWindow(std::move(request), [promise, modal](int code) {
          if (modal) promise->set_value(code);
        });
      },
      Qt::QueuedConnection);
  if (!modal) return 0;
  promise.reset();
  try {
    return result.get();
  } catch (const std::future_error&) {
    return kEndCannotCreate;
  }
}

}  // namespace

int32_t showChart(std::shared_ptr<const ChartRequest> request, std::string& reason) {
  const Gui gui = ensureGui(reason);
  if (gui == Gui::kNone) return kEndCannotCreate;
  QCoreApplication* application =
      gui == Gui::kOwnThread ? g_application.load() : QCoreApplication::instance();
  if (!onThreadOf(application)) return postToGui(application, std::move(request));
  if (!request->ownThread) return runModalHere(std::move(request));
  openWindow(std::move(request), nullptr);
  return 0;
}

void shutDownCharts() {
  std::unique_ptr<std::thread> thread;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_shutDown = true;
    thread.reset(std::exchange(g_thread, nullptr));
  }
  QApplication* application = g_application.load();
  if (thread == nullptr) return;
  if (application != nullptr) {
    QMetaObject::invokeMethod(
        application,
        [] {
          for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* chart = dynamic_cast<ChartWindow*>(widget)) chart->done(kEndByExit);
          }
          QCoreApplication::quit();
        },
        Qt::QueuedConnection);
  }
  if (thread->get_id() == std::this_thread::get_id()) {
    thread->detach();
  } else {
    thread->join();
  }
}

void setWindowOpenedHookForTest(std::function<void(ChartWindow&)> hook) {
  std::lock_guard<std::mutex> lock(g_mutex);
  delete std::exchange(g_openedHook, nullptr);
  if (hook) g_openedHook = new std::function<void(ChartWindow&)>(std::move(hook));
}

}  // namespace tevra::chart
