#include "src/chart/chart_gui.h"

#include <QApplication>
#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <QWindow>
#include <atomic>
#include <cstdlib>
#include <future>
#include <mutex>
#include <thread>

#include "platform/com/com_error.h"
#include "platform/kernel/kernel.h"
#include "platform/ui/window.h"
#include "src/chart/chart_window.h"
#include "src/core/error_state.h"
#include "src/core/frame.h"
#include "src/core/session.h"
#include "src/log/driver_logs.h"

namespace tevra::chart {
namespace {

constexpr int32_t kDoModalLine = 20045;

enum class Gui { kNone, kOwnThread, kHostApplication };

struct GuiState {
  std::mutex mutex;
  std::thread thread;
  std::atomic<QApplication*> application{nullptr};
  std::atomic<int32_t> focusWindow{0};
  bool shutDown = false;
  std::function<void(ChartWindow&)> openedHook;
};

// Never destroyed: the GUI thread must be ended by shutDownCharts(), not by a destructor at exit.
GuiState& state() {
  static GuiState* s = new GuiState;
  return *s;
}

void toDebugOutput(QtMsgType, const QMessageLogContext&, const QString& message) {
  platform::OutputDebugString(message.toLocal8Bit().constData());
}

int32_t idOf(const QWindow* window) {
  return window != nullptr ? static_cast<int32_t>(window->winId()) : 0;
}

// The GUI thread: a Qt application of the library's own, running until shutDownCharts() quits it.
void runGuiThread(std::promise<void>* ready) {
  qInstallMessageHandler(toDebugOutput);
  static int argc = 1;
  static char name[] = "velkorin";
  static char* argv[] = {name, nullptr};
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  GuiState& s = state();
  QObject::connect(&application, &QGuiApplication::focusWindowChanged,
                   [&s](QWindow* window) { s.focusWindow.store(idOf(window)); });
  platform::SetForegroundWindowSource([&s] { return s.focusWindow.load(); });
  s.application.store(&application);
  ready->set_value();
  QApplication::exec();
  platform::SetForegroundWindowSource({});
  s.application.store(nullptr);
}

// The window system the charts can use; starts the library's GUI thread when it is needed.
Gui ensureGui(std::string& reason) {
  GuiState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.shutDown) {
    reason = "the library is shutting down";
    return Gui::kNone;
  }
  if (s.application.load() != nullptr) return Gui::kOwnThread;
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
  s.thread = std::thread(runGuiThread, &ready);
  started.wait();
  // Registered now, it runs at exit before the destructors of everything constructed so far.
  std::atexit(shutDownCharts);
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
  std::function<void(ChartWindow&)> hook;
  {
    std::lock_guard<std::mutex> lock(state().mutex);
    hook = state().openedHook;
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
      gui == Gui::kOwnThread ? state().application.load() : QCoreApplication::instance();
  if (!onThreadOf(application)) return postToGui(application, std::move(request));
  if (!request->ownThread) return runModalHere(std::move(request));
  openWindow(std::move(request), nullptr);
  return 0;
}

void shutDownCharts() {
  GuiState& s = state();
  std::thread thread;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    s.shutDown = true;
    thread = std::move(s.thread);
  }
  QApplication* application = s.application.load();
  if (application == nullptr || !thread.joinable()) return;
  QMetaObject::invokeMethod(
      application,
      [] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
          if (auto* chart = dynamic_cast<ChartWindow*>(widget)) chart->done(kEndByExit);
        }
        QCoreApplication::quit();
      },
      Qt::QueuedConnection);
  if (thread.get_id() == std::this_thread::get_id()) {
    thread.detach();
  } else {
    thread.join();
  }
}

void setWindowOpenedHookForTest(std::function<void(ChartWindow&)> hook) {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().openedHook = std::move(hook);
}

}  // namespace tevra::chart
