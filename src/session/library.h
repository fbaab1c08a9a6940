// What the library does when it is loaded and unloaded.
#pragma once

#include <cstdint>
#include <string>

namespace tevra::core {

inline constexpr const char* kVersionBanner =
    "Velkorin.dll Version T.05.11, Released Date 2008/04/17 for V5.4.4/A.05.03.04";

// "/tmp/Velkorin.log.txt", or the path in TEVRA_TRACE_FILE.
std::string defaultTraceFile();

// Opens the trace log on the default file in weekly naming mode, writes the version banner and remembers
// the loading thread.
void libraryStartUp();
// Ends a session still open, and closes the trace log when it runs on the loading thread (otherwise it
// traces "ExitInstance()" and leaves the log open).
void libraryShutDown();

// The thread that ran the start-up, 0 before.
uint32_t startUpThread();

}  // namespace tevra::core
