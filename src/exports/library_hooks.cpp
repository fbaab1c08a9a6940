// The shared library's load and unload hooks.
#include <cstdlib>

#include "src/chart/chart_gui.h"
#include "src/session/library.h"

namespace {

// Chart windows close and the GUI thread ends first, while the trace log is still open for their lines.
void onLibraryUnload() {
  tevra::chart::shutDownCharts();
  tevra::core::libraryShutDown();
}

// The shut-down is registered after start-up has constructed the driver-wide objects, so that it runs
// before their destructors both at process exit and when the library is unloaded.
__attribute__((constructor)) void onLibraryLoad() {
  tevra::core::libraryStartUp();
  std::atexit(onLibraryUnload);
}

}  // namespace
