// Replaces a local file so that it is never lost or left half written: the old content is copied to
// "<path>.bak", the new content is written to "<path>.tmp" and renamed over the path only when it is whole.
// A replacement that is not committed removes its temporary file and leaves the path as it was.
#pragma once

#include <cstdint>
#include <string>

#include "platform/fs/fs.h"

namespace tevra::arb {

class FileReplacement {
 public:
  explicit FileReplacement(std::string path);
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;
  ~FileReplacement();

  // Backs up and opens the temporary file. On failure traces "ERR %d,backup(%s) failed, ..." or
  // "ERR %d,create(%s) failed, ..." with code and returns code; 0 when the file is open.
  int32_t begin(int32_t code);
  // Writes all of data, tracing "ERR %d,write() failed, ..." with code on a failed or short write.
  int32_t write(int32_t code, const void* data, uint32_t size) const;
  // Flushes, closes and renames the temporary file into place; code and a traced text when that fails.
  int32_t commit(int32_t code);

  platform::FileHandle handle() const { return handle_; }

 private:
  void discard();

  std::string path_;
  std::string temporary_;
  platform::FileHandle handle_ = platform::kInvalidFileHandle;
};

// Traces "ERR %d,<what>(<name>) failed, code = %d,<system text>" with the thread's last error; returns code.
int32_t traceFileFailure(int32_t code, const char* what, const char* name);
// Traces "ERR %d,write() failed, ..." for a failed write, or "... %d != %d" for a short one; returns code.
int32_t traceWriteFailure(int32_t code, bool failed, uint32_t asked, uint32_t written);
// Writes all of data to handle; 0, or code with the traced write failure.
int32_t writeAll(int32_t code, platform::FileHandle handle, const void* data, uint32_t size);

// Closes a handle when it goes out of scope.
class ScopedFile {
 public:
  explicit ScopedFile(platform::FileHandle handle) : handle_(handle) {}
  ScopedFile(const ScopedFile&) = delete;
  ScopedFile& operator=(const ScopedFile&) = delete;
  ~ScopedFile() {
    if (handle_ != platform::kInvalidFileHandle) platform::CloseHandle(handle_);
  }
  platform::FileHandle get() const { return handle_; }
  bool valid() const { return handle_ != platform::kInvalidFileHandle; }

 private:
  platform::FileHandle handle_;
};

}  // namespace tevra::arb
