#include <dlfcn.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/kernel/kernel.h"
#include "platform/kernel/win32_errors.h"

namespace tevra::platform {
namespace {

// The hooks are set by single-threaded test set-up; readers only copy the function under the lock.
std::mutex& hookMutex() {
  static std::mutex m;
  return m;
}
std::function<SystemTime()>& localTimeHook() {
  static std::function<SystemTime()> f;
  return f;
}
std::function<uint32_t()>& tickHook() {
  static std::function<uint32_t()> f;
  return f;
}
std::function<uint32_t()>& threadIdHook() {
  static std::function<uint32_t()> f;
  return f;
}
std::function<void(uint32_t)>& sleepHook() {
  static std::function<void(uint32_t)> f;
  return f;
}
std::function<void(const char*)>& debugSinkHook() {
  static std::function<void(const char*)> f;
  return f;
}
std::atomic<bool> anyHook{false};

template <class F>
F copyHook(F& hook) {
  if (!anyHook.load(std::memory_order_acquire)) return F{};
  std::lock_guard<std::mutex> lock(hookMutex());
  return hook;
}

template <class F>
void setHook(F& hook, F value) {
  std::lock_guard<std::mutex> lock(hookMutex());
  hook = std::move(value);
  anyHook.store(true, std::memory_order_release);
}

thread_local uint32_t t_lastError = 0;

// localtime_r costs more than the rest of a trace entry, so each thread keeps the broken-down time of the
// last second it asked for.
SystemTime systemLocalTime() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  thread_local time_t cachedSecond = -1;
  thread_local tm parts{};
  if (ts.tv_sec != cachedSecond) {
    localtime_r(&ts.tv_sec, &parts);
    cachedSecond = ts.tv_sec;
  }
  SystemTime st;
  st.year = static_cast<uint16_t>(parts.tm_year + 1900);
  st.month = static_cast<uint16_t>(parts.tm_mon + 1);
  st.dayOfWeek = static_cast<uint16_t>(parts.tm_wday);
  st.day = static_cast<uint16_t>(parts.tm_mday);
  st.hour = static_cast<uint16_t>(parts.tm_hour);
  st.minute = static_cast<uint16_t>(parts.tm_min);
  st.second = static_cast<uint16_t>(parts.tm_sec);
  st.milliseconds = static_cast<uint16_t>(ts.tv_nsec / 1000000);
  return st;
}

struct MessageEntry {
  uint32_t code;
  const char* text;
};

// Texts for the Win32 codes and HRESULTs this system reports; Win32 codes also answer as HRESULTs 0x8007xxxx.
constexpr MessageEntry kMessages[] = {
    {0, "The operation completed successfully."},
    {1, "Incorrect function."},
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {4, "The system cannot open the file."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {8, "Not enough memory resources are available to process this command."},
    {11, "An attempt was made to load a program with an incorrect format."},
    {13, "The data is invalid."},
    {29, "The system cannot write to the specified device."},
    {30, "The system cannot read from the specified device."},
    {32, "The process cannot access the file because it is being used by another process."},
    {38, "Reached the end of the file."},
    {55, "The specified network resource or device is no longer available."},
    {80, "The file exists."},
    {87, "The parameter is incorrect."},
    {112, "There is not enough space on the disk."},
    {122, "The data area passed to a system call is too small."},
    {123, "The filename, directory name, or volume label syntax is incorrect."},
    {126, "The specified module could not be found."},
    {127, "The specified procedure could not be found."},
    {145, "The directory is not empty."},
    {183, "Cannot create a file when that file already exists."},
    {206, "The filename or extension is too long."},
    {234, "More data is available."},
    {259, "No more data is available."},
    {0x80004001u, "Not implemented"},
    {0x80004002u, "No such interface supported"},
    {0x80004003u, "Invalid pointer"},
    {0x80004004u, "Operation aborted"},
    {0x80004005u, "Unspecified error"},
    {0x8000FFFFu, "Catastrophic failure"},
    {0x80040111u, "ClassFactory cannot supply requested class"},
    {0x80040154u, "Class not registered"},
    {0x800401F0u, "CoInitialize has not been called."},
    {0x800401F3u, "Invalid class string"},
    {0x80020009u, "Exception occurred."},
    {0x8002000Eu, "Invalid number of parameters."},
    {0x80020005u, "Type mismatch."},
    {0x80070057u, "The parameter is incorrect."},
    {0x8007000Eu, "Not enough memory resources are available to complete this operation."},
};

}  // namespace

uint32_t GetTickCount() {
  if (auto hook = copyHook(tickHook())) return hook();
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

void Sleep(uint32_t milliseconds) {
  if (auto hook = copyHook(sleepHook())) return hook(milliseconds);
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

SystemTime GetLocalTime() {
  if (auto hook = copyHook(localTimeHook())) return hook();
  return systemLocalTime();
}

uint32_t GetCurrentThreadId() {
  if (auto hook = copyHook(threadIdHook())) return hook();
  thread_local const auto id = static_cast<uint32_t>(::syscall(SYS_gettid));
  return id;
}

void OutputDebugString(const char* text) {
  if (text == nullptr) return;
  if (auto sink = copyHook(debugSinkHook())) {
    sink(text);
    return;
  }
  static const bool enabled = [] {
    const char* v = std::getenv("TEVRA_DEBUG_OUTPUT");
    return v != nullptr && std::strcmp(v, "1") == 0;
  }();
  if (enabled) std::fprintf(stderr, "%s\n", text);
}

uint32_t GetLastError() {
  return t_lastError;
}
void SetLastError(uint32_t code) {
  t_lastError = code;
}

std::optional<std::string> FormatSystemMessage(uint32_t code) {
  uint32_t lookup = code;
  if ((code & 0xFFFF0000u) == 0x80070000u) lookup = code & 0xFFFFu;
  for (const auto& entry : kMessages) {
    if (entry.code == lookup) return std::string(entry.text) + "\r\n";
  }
  if (lookup != code) {
    for (const auto& entry : kMessages) {
      if (entry.code == code) return std::string(entry.text) + "\r\n";
    }
  }
  return std::nullopt;
}

std::string ModuleFolderOf(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
  std::string path = info.dli_fname;
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  path.resize(slash == 0 ? 1 : slash);
  return path;
}

uint32_t Win32ErrorFromErrno(int err) {
  switch (err) {
    case 0:
      return kErrorSuccess;
    case ENOENT:
      return kErrorFileNotFound;
    case ENOTDIR:
      return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return kErrorAccessDenied;
    case EEXIST:
      return kErrorFileExists;
    case EMFILE:
    case ENFILE:
      return kErrorTooManyOpenFiles;
    case ENOMEM:
      return kErrorNotEnoughMemory;
    case ENOSPC:
      return kErrorDiskFull;
    case ENAMETOOLONG:
      return kErrorFilenameExcedRange;
    case EBADF:
      return kErrorInvalidHandle;
    case EINVAL:
      return kErrorInvalidParameter;
    case ENOTEMPTY:
      return kErrorDirNotEmpty;
    case EBUSY:
    case ETXTBSY:
      return kErrorSharingViolation;
    case EIO:
      return kErrorWriteFault;
    case ENODEV:
    case ENXIO:
      return kErrorDevNotExist;
    default:
      return kErrorInvalidFunction;
  }
}

void SetLocalTimeSourceForTest(std::function<SystemTime()> source) {
  setHook(localTimeHook(), std::move(source));
}
void SetTickSourceForTest(std::function<uint32_t()> source) {
  setHook(tickHook(), std::move(source));
}
void SetThreadIdSourceForTest(std::function<uint32_t()> source) {
  setHook(threadIdHook(), std::move(source));
}
void SetSleepForTest(std::function<void(uint32_t)> sleep) {
  setHook(sleepHook(), std::move(sleep));
}
void SetDebugOutputSinkForTest(std::function<void(const char*)> sink) {
  setHook(debugSinkHook(), std::move(sink));
}

}  // namespace tevra::platform
