// The shared library's load and unload hooks.
#include <cstdlib>

#include "src/session/library.h"

namespace {

void onLibraryUnload() { tevra::core::libraryShutDown(); }

// The shut-down is registered after start-up has constructed the driver-wide objects, so that it runs
// before their destructors both at process exit and when the library is unloaded.
__attribute__((constructor)) void onLibraryLoad() {
  tevra::core::libraryStartUp();
  std::atexit(onLibraryUnload);
}

}  // namespace
