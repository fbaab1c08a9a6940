// The full path or search pattern the download and normalisation tools search with.
#include <cstring>
#include <string>

#include "platform/fs/fs.h"
#include "platform/kernel/kernel.h"
#include "src/arb/file_replacement.h"
#include "src/core/frame.h"
#include "src/core/system_error_text.h"
#include "tevra.h"

namespace tevra::arb {
namespace {

constexpr int32_t kPathFailure = -8294;

int32_t downloadPath(const char* path, const char* defaultName, char* buffer) {
  if (buffer == nullptr) return core::traceFailure(kPathFailure, "ERR %d,null path buffer", kPathFailure);
  std::string full;
  size_t nameOffset = 0;
  if (path == nullptr || *path == '\0') {
    full = platform::GetCurrentDirectory();
    if (full.empty()) return traceFileFailure(kPathFailure, "GetCurrentDirectory", "");
    if (full.back() != '/') full.push_back('/');
    nameOffset = full.size();
    full += core::orEmpty(defaultName);
  } else {
    full = platform::GetFullPathName(path);
    if (full.empty()) {
      const uint32_t error = platform::GetLastError();
      char text[core::kSystemErrorTextSize];
      return core::traceFailure(kPathFailure, "ERR %d,GetFullPathName(%s) failed, code %d,%s", kPathFailure,
                                path, static_cast<int>(error), core::getSystemErrorText(error, text));
    }
    nameOffset = full.find_last_of('/') + 1;
    if (nameOffset == full.size()) full += core::orEmpty(defaultName);
  }
  if (full.size() >= TEVRA_DOWNLOAD_PATH_SIZE) {
    return core::traceFailure(kPathFailure, "ERR %d,path '%s' longer than %d characters", kPathFailure,
                              full.c_str(), TEVRA_DOWNLOAD_PATH_SIZE - 1);
  }
  std::memcpy(buffer, full.c_str(), full.size() + 1);
  return static_cast<int32_t>(nameOffset);
}

}  // namespace
}  // namespace tevra::arb

extern "C" TEVRA_API int32_t Tevra_Tool_GetDownloadPath(const char* path, const char* defaultName,
                                                        char* buffer) {
  try {
    return tevra::arb::downloadPath(path, defaultName, buffer);
  } catch (...) {
    return tevra::core::traceFailure(tevra::arb::kPathFailure, "ERR %d,GetDownloadPath() failed",
                                     tevra::arb::kPathFailure);
  }
}
