// Kernel services under the names the driver expects: tick count, sleep, critical sections, local time,
// thread ids, debugger output and system error texts.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace tevra::platform {

struct SystemTime {
  uint16_t year = 0;
  uint16_t month = 0;      // 1..12
  uint16_t dayOfWeek = 0;  // 0 = Sunday
  uint16_t day = 0;        // 1..31
  uint16_t hour = 0;
  uint16_t minute = 0;
  uint16_t second = 0;
  uint16_t milliseconds = 0;
};

// Milliseconds since an arbitrary start, wrapping at 2^32 like the Windows tick count.
uint32_t GetTickCount();
void Sleep(uint32_t milliseconds);
SystemTime GetLocalTime();
uint32_t GetCurrentThreadId();

// Sends a text to the debugger; on Linux to stderr when TEVRA_DEBUG_OUTPUT=1.
void OutputDebugString(const char* text);

uint32_t GetLastError();
void SetLastError(uint32_t code);

// The system's message text for a Win32 error code or an HRESULT, ending in CR LF like the
// system message table; nothing when the system has no text for the code.
std::optional<std::string> FormatSystemMessage(uint32_t code);

// The folder of the loaded library or program that holds address (as GetModuleFileName for a module
// handle), without a trailing '/'; empty when the loader does not know it.
std::string ModuleFolderOf(const void* address);

// Maps an errno value to the Win32 error code the driver reports.
uint32_t Win32ErrorFromErrno(int err);

// A recursive critical section, as the Windows one.
class CriticalSection {
 public:
  void Enter() { mutex_.lock(); }
  void Leave() { mutex_.unlock(); }

 private:
  std::recursive_mutex mutex_;
};

// Test hooks: replace the clock, the tick count or the thread id; an empty function restores the system's.
void SetLocalTimeSourceForTest(std::function<SystemTime()> source);
void SetTickSourceForTest(std::function<uint32_t()> source);
void SetThreadIdSourceForTest(std::function<uint32_t()> source);
// Replaces Sleep, so that a test neither waits nor loses count of the sleeps.
void SetSleepForTest(std::function<void(uint32_t)> sleep);
// Captures debugger output instead of printing it; an empty function restores the default.
void SetDebugOutputSinkForTest(std::function<void(const char*)> sink);

}  // namespace tevra::platform
