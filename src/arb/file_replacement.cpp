#include "src/arb/file_replacement.h"

#include <utility>

#include "platform/kernel/kernel.h"
#include "platform/kernel/win32_errors.h"
#include "src/core/frame.h"
#include "src/core/system_error_text.h"

namespace tevra::arb {

int32_t traceFileFailure(int32_t code, const char* what, const char* name) {
  const uint32_t error = platform::GetLastError();
  char text[core::kSystemErrorTextSize];
  return core::traceFailure(code, "ERR %d,%s(%s) failed, code = %d,%s", code, what, name,
                            static_cast<int>(error), core::getSystemErrorText(error, text));
}

int32_t traceWriteFailure(int32_t code, bool failed, uint32_t asked, uint32_t written) {
  if (!failed) {
    return core::traceFailure(code, "ERR %d,write() failed, %d != %d", code, static_cast<int>(asked),
                              static_cast<int>(written));
  }
  const uint32_t error = platform::GetLastError();
  char text[core::kSystemErrorTextSize];
  return core::traceFailure(code, "ERR %d,write() failed, code = %d,%s", code, static_cast<int>(error),
                            core::getSystemErrorText(error, text));
}

int32_t writeAll(int32_t code, platform::FileHandle handle, const void* data, uint32_t size) {
  uint32_t written = 0;
  const bool ok = platform::WriteFile(handle, data, size, &written);
  if (ok && written == size) return 0;
  return traceWriteFailure(code, !ok, size, written);
}

FileReplacement::FileReplacement(std::string path) : path_(std::move(path)), temporary_(path_ + ".tmp") {}

FileReplacement::~FileReplacement() {
  discard();
}

void FileReplacement::discard() {
  if (handle_ == platform::kInvalidFileHandle) return;
  platform::CloseHandle(handle_);
  handle_ = platform::kInvalidFileHandle;
  platform::DeleteFile(temporary_.c_str());
}

int32_t FileReplacement::begin(int32_t code) {
  if (path_.empty()) {
    platform::SetLastError(platform::kErrorPathNotFound);
    return traceFileFailure(code, "create", "");
  }
  if (platform::FileExists(path_.c_str()) &&
      !platform::CopyFile(path_.c_str(), (path_ + ".bak").c_str(), false)) {
    return traceFileFailure(code, "backup", path_.c_str());
  }
  handle_ =
      platform::CreateFile(temporary_.c_str(), platform::kAccessReadWrite, platform::Creation::kCreateAlways);
  if (handle_ == platform::kInvalidFileHandle) return traceFileFailure(code, "create", path_.c_str());
  return 0;
}

int32_t FileReplacement::write(int32_t code, const void* data, uint32_t size) const {
  return writeAll(code, handle_, data, size);
}

int32_t FileReplacement::commit(int32_t code) {
  const bool flushed = platform::FlushFileBuffers(handle_);
  const bool closed = platform::CloseHandle(handle_);
  handle_ = platform::kInvalidFileHandle;
  if (!flushed || !closed || !platform::MoveFileReplacing(temporary_.c_str(), path_.c_str())) {
    const int32_t failed = traceFileFailure(code, "replace", path_.c_str());
    platform::DeleteFile(temporary_.c_str());
    return failed;
  }
  return 0;
}

}  // namespace tevra::arb
