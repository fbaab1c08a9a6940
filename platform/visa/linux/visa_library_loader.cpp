#include <dlfcn.h>

#include <map>
#include <memory>
#include <mutex>

#include "platform/visa/visa_library.h"

namespace tevra::platform::visa {
namespace {

// The library's own calls to these names must reach its own code, not this layer's exports of the same
// names: RTLD_DEEPBIND binds them locally. Sanitizer runtimes refuse RTLD_DEEPBIND.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kOpenFlags = RTLD_NOW | RTLD_LOCAL;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
constexpr int kOpenFlags = RTLD_NOW | RTLD_LOCAL;
#else
constexpr int kOpenFlags = RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND;
#endif
#else
constexpr int kOpenFlags = RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND;
#endif

template <class F>
bool bind(void* library, const char* name, F* call) {
  *call = reinterpret_cast<F>(::dlsym(library, name));
  return *call != nullptr;
}

std::unique_ptr<VisaLibraryCalls> loadCalls(const std::string& path) {
  void* library = ::dlopen(path.c_str(), kOpenFlags);
  if (library == nullptr) return nullptr;
  auto calls = std::make_unique<VisaLibraryCalls>();
  bool complete = bind(library, "viOpenDefaultRM", &calls->openDefaultRM) &&
                  bind(library, "viOpen", &calls->open) && bind(library, "viClose", &calls->close) &&
                  bind(library, "viWrite", &calls->write) && bind(library, "viRead", &calls->read) &&
                  bind(library, "viClear", &calls->clear) &&
                  bind(library, "viSetAttribute", &calls->setAttribute) &&
                  bind(library, "viGetAttribute", &calls->getAttribute);
  if (!complete) {
    ::dlclose(library);
    return nullptr;
  }
  bind(library, "viReadSTB", &calls->readSTB);
  bind(library, "viAssertTrigger", &calls->assertTrigger);
  bind(library, "viLock", &calls->lock);
  bind(library, "viUnlock", &calls->unlock);
  bind(library, "viEnableEvent", &calls->enableEvent);
  bind(library, "viDisableEvent", &calls->disableEvent);
  bind(library, "viDiscardEvents", &calls->discardEvents);
  bind(library, "viWaitOnEvent", &calls->waitOnEvent);
  bind(library, "viTerminate", &calls->terminate);
  return calls;
}

}  // namespace

const VisaLibraryCalls* loadVisaLibrary(const std::string& path) {
  static std::mutex mutex;
  static std::map<std::string, std::unique_ptr<VisaLibraryCalls>> loaded;
  std::lock_guard<std::mutex> lock(mutex);
  auto it = loaded.find(path);
  if (it != loaded.end()) return it->second.get();
  auto calls = loadCalls(path);
  if (!calls) return nullptr;
  return loaded.emplace(path, std::move(calls)).first->second.get();
}

}  // namespace tevra::platform::visa
