#include "src/session/library.h"

#include <atomic>
#include <cstdlib>

#include "platform/com/creation.h"
#include "platform/kernel/kernel.h"
#include "src/core/frame.h"
#include "src/core/settings.h"
#include "src/log/driver_logs.h"
#include "src/server/instrument.h"
#include "src/visa/visa_session.h"
#include "tevra.h"

namespace tevra::core {
namespace {

std::atomic<uint32_t> g_startUpThread{0};

constexpr int32_t kTraceNamingMode = 5;

// Constructs the driver-wide objects in the order the library's life needs, before the shut-down is
// registered, so that all of them outlive it: the logs first, so that they are destroyed last; then the
// error state, the playback lock, the instrument interface, the held settings and the VISA session.
void constructDriverObjects() {
  log::traceLog();
  log::reportLog();
  errorState();
  playbackLock();
  server::instrument();
  settings();
  visa::visaState();
}

}  // namespace

std::string defaultTraceFile() {
  const char* path = std::getenv("TEVRA_TRACE_FILE");
  return path != nullptr && *path != '\0' ? path : "/tmp/Velkorin.log.txt";
}

void libraryStartUp() {
  constructDriverObjects();
  platform::CoInitializeEx(nullptr, platform::COINIT_APARTMENTTHREADED);
  log::LogFile& trace = log::traceLog();
  trace.Open(defaultTraceFile().c_str(), kTraceNamingMode, true);
  trace.LogText(-1, kVersionBanner);
  uint32_t none = 0;
  g_startUpThread.compare_exchange_strong(none, platform::GetCurrentThreadId());
}

void libraryShutDown() {
  Tevra_Close();
  platform::CoUninitialize();
  if (platform::GetCurrentThreadId() == g_startUpThread.load()) {
    log::traceLog().Close();
  } else {
    log::traceLog().LogText(-1, "ExitInstance()");
  }
}

uint32_t startUpThread() {
  return g_startUpThread.load();
}

}  // namespace tevra::core
