#include "src/log/log_file.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>

#include "src/log/format_text.h"
#include "src/log/log_file_name.h"

namespace tevra::log {
namespace {

std::atomic<uint32_t> g_lastWriteByteCount{0};

constexpr char kStartMarker[] = "*** Start of Log ***";
constexpr char kEndMarker[] = "*** End of Log ***";
constexpr char kCrLf[] = "\r\n";
constexpr uint32_t kCrLfLength = 2;
constexpr int kSeekEnd = 2;

class EntryLock {
 public:
  explicit EntryLock(platform::CriticalSection& lock) : lock_(lock) { lock_.Enter(); }
  ~EntryLock() { lock_.Leave(); }
  EntryLock(const EntryLock&) = delete;
  EntryLock& operator=(const EntryLock&) = delete;

 private:
  platform::CriticalSection& lock_;
};

bool isValidNamingMode(int32_t namingMode) {
  return namingMode >= kNameTruncate && namingMode <= kNamePerOpening;
}

// Mode 2 moves an existing file aside first; when its dated name is taken, appending keeps the old content.
platform::Creation prepareCreation(const char* name, int32_t namingMode, const platform::SystemTime& now) {
  if (namingMode == kNameTruncate) return platform::Creation::kCreateAlways;
  if (namingMode != kNameRenameOld) return platform::Creation::kOpenAlways;
  const bool movedOrMissing =
      platform::MoveFile(name, renamedLogFileName(name, now).c_str()) || !platform::FileExists(name);
  return movedOrMissing ? platform::Creation::kCreateAlways : platform::Creation::kOpenAlways;
}

int32_t rawResult(uint32_t written, size_t expected) {
  return written == expected ? static_cast<int32_t>(written) : LogFile::kRawShortWrite;
}

}  // namespace

uint32_t lastWriteByteCount() {
  return g_lastWriteByteCount.load(std::memory_order_relaxed);
}

LogFile::LogFile() = default;

LogFile::LogFile(const char* name, int32_t namingMode, bool lineMode) : namingMode_(namingMode) {
  if (name != nullptr) Open(name, namingMode, lineMode);
}

LogFile::~LogFile() {
  Close();
  if (buffer_ != inlineBuffer_) delete[] buffer_;
}

bool LogFile::Open(const char* name, int32_t namingMode, bool lineMode) {
  EntryLock guard(lock_);
  if (name == nullptr || *name == '\0') {
    Close();
    return false;
  }
  namingMode_ = namingMode;
  if (!isValidNamingMode(namingMode)) {
    Close();
    return false;
  }
  const platform::SystemTime now = platform::GetLocalTime();
  const std::string path = logFileNameFor(name, namingMode, now);
  // Opening the open file again: its end marker goes in before the file is reopened or emptied.
  if (path == fileName_) Close();
  const platform::FileHandle opened =
      platform::CreateFile(path.c_str(), platform::kAccessReadWrite, prepareCreation(name, namingMode, now));
  if (opened != platform::kInvalidFileHandle) platform::SetFilePointer(opened, 0, kSeekEnd);
  if (opened == platform::kInvalidFileHandle || (lineMode && !writeMarker(opened, kStartMarker))) {
    const auto error = static_cast<int>(platform::GetLastError());
    if (opened != platform::kInvalidFileHandle) platform::CloseHandle(opened);
    platform::OutputDebugString(
        formatText("LogOpen(%s) failed, last error = %d", path.c_str(), error).c_str());
    return false;
  }
  Close();
  file_ = opened;
  fileName_ = path;
  lineMode_ = lineMode;
  writeFailing_ = false;
  platform::OutputDebugString(formatText("LogOpen(%s) success", path.c_str()).c_str());
  return true;
}

void LogFile::Close() {
  EntryLock guard(lock_);
  if (file_ != platform::kInvalidFileHandle) {
    if (lineMode_) noteEntry(writeMarker(file_, kEndMarker));
    platform::CloseHandle(file_);
  }
  file_ = platform::kInvalidFileHandle;
  fileName_.clear();
}

Entry LogFile::LogIt(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const Entry result = LogItV(format, args);
  va_end(args);
  return result;
}

Entry LogFile::LogItV(const char* format, va_list args) {
  if (format == nullptr) return Entry::kDropped;
  const platform::SystemTime now = platform::GetLocalTime();
  EntryLock guard(lock_);
  beginEntry(now);
  va_list again;
  va_copy(again, args);
  const int formatted =
      std::vsnprintf(buffer_ + length_, static_cast<size_t>(capacity_ - length_), format, args);
  const int32_t capacityBefore = capacity_;
  const int32_t fits = reserveText(std::max(formatted, 0));
  // A grown buffer holds only the prefix so far.
  if (capacity_ != capacityBefore) {
    std::vsnprintf(buffer_ + length_, static_cast<size_t>(capacity_ - length_), format, again);
  }
  va_end(again);
  length_ += fits;
  buffer_[length_] = '\0';
  return noteEntry(writeEntry(file_, lineMode_));
}

Entry LogFile::LogText(int32_t length, const char* text) {
  const platform::SystemTime now = platform::GetLocalTime();
  EntryLock guard(lock_);
  beginEntry(now);
  if (text == nullptr) {
    text = "";
    length = 0;
  }
  const int64_t textLength = length < 0 ? static_cast<int64_t>(std::strlen(text)) : length;
  appendText(reserveText(textLength), text);
  return noteEntry(writeEntry(file_, lineMode_));
}

int32_t LogFile::WriteRaw(int32_t length, const void* data, uint32_t flags) {
  const platform::SystemTime now = platform::GetLocalTime();
  EntryLock guard(lock_);
  if (file_ == platform::kInvalidFileHandle) return kRawNotOpen;
  if (length < 0 || (data == nullptr && length > 0)) return kRawShortWrite;
  if ((flags & kRawPrefix) != 0) {
    beginEntry(now);
    if (write(file_, buffer_, static_cast<uint32_t>(length_)) != static_cast<uint32_t>(length_)) {
      return noteRaw(kRawShortWrite);
    }
  }
  const uint32_t written = write(file_, data, static_cast<uint32_t>(length));
  if ((flags & kRawAppendCrLf) != 0 && written == static_cast<uint32_t>(length) &&
      write(file_, kCrLf, kCrLfLength) != kCrLfLength) {
    return noteRaw(kRawShortWrite);
  }
  return noteRaw(rawResult(written, static_cast<size_t>(length)));
}

int32_t LogFile::PrintfRaw(const char* format, ...) {
  EntryLock guard(lock_);
  if (file_ == platform::kInvalidFileHandle) return kRawNotOpen;
  if (format == nullptr) return kRawShortWrite;
  char text[kRawBufferSize];
  va_list args;
  va_start(args, format);
  const int formatted = std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (formatted < 0 || static_cast<size_t>(formatted) >= sizeof text) return kRawShortWrite;
  return noteRaw(
      rawResult(write(file_, text, static_cast<uint32_t>(formatted)), static_cast<size_t>(formatted)));
}

bool LogFile::isOpen() const {
  EntryLock guard(lock_);
  return file_ != platform::kInvalidFileHandle;
}

std::string LogFile::fileName() const {
  EntryLock guard(lock_);
  return fileName_;
}

int32_t LogFile::capacity() const {
  EntryLock guard(lock_);
  return capacity_;
}

int32_t LogFile::namingMode() const {
  EntryLock guard(lock_);
  return namingMode_;
}

bool LogFile::lineMode() const {
  EntryLock guard(lock_);
  return lineMode_;
}

void LogFile::setBufferMayGrow(bool mayGrow) {
  EntryLock guard(lock_);
  bufferMayGrow_ = mayGrow;
}

void LogFile::beginEntry(const platform::SystemTime& now) {
  const uint32_t threadId = platform::GetCurrentThreadId();
  const int prefix =
      std::snprintf(buffer_, static_cast<size_t>(capacity_), "%02u/%02u %02u:%02u:%02u.%03u [%04X] ",
                    now.month, now.day, now.hour, now.minute, now.second, now.milliseconds, threadId);
  length_ = std::clamp(prefix, 0, capacity_ - 1);
}

// Makes room for textLength bytes and the terminating zero after the entry so far, growing the buffer when
// it may; returns how many of those bytes fit.
int32_t LogFile::reserveText(int64_t textLength) {
  if (length_ + textLength >= capacity_) grow(textLength);
  return static_cast<int32_t>(std::min<int64_t>(textLength, capacity_ - 1 - length_));
}

void LogFile::grow(int64_t textLength) {
  if (!bufferMayGrow_) return;
  const int64_t wanted = (length_ + textLength + 32) / 32 * 32;
  const auto newCapacity = static_cast<int32_t>(std::min<int64_t>(wanted, kMaxCapacity));
  if (newCapacity <= capacity_) return;
  char* grown = new (std::nothrow) char[static_cast<size_t>(newCapacity)];
  if (grown == nullptr) return;
  std::memcpy(grown, buffer_, static_cast<size_t>(length_));
  if (buffer_ != inlineBuffer_) delete[] buffer_;
  buffer_ = grown;
  capacity_ = newCapacity;
}

void LogFile::appendText(int32_t length, const char* text) {
  std::memcpy(buffer_ + length_, text, static_cast<size_t>(length));
  length_ += length;
  buffer_[length_] = '\0';
}

// The line end joins the entry in one write whenever the buffer has room for it.
bool LogFile::writeEntry(platform::FileHandle file, bool lineMode) {
  if (file == platform::kInvalidFileHandle) return false;
  auto length = static_cast<uint32_t>(length_);
  const bool joinLineEnd = lineMode && capacity_ - length_ >= static_cast<int32_t>(kCrLfLength);
  if (joinLineEnd) {
    std::memcpy(buffer_ + length_, kCrLf, kCrLfLength);
    length += kCrLfLength;
  }
  if (write(file, buffer_, length) != length) return false;
  return !lineMode || joinLineEnd || write(file, kCrLf, kCrLfLength) == kCrLfLength;
}

bool LogFile::writeMarker(platform::FileHandle file, const char* marker) {
  beginEntry(platform::GetLocalTime());
  appendText(reserveText(static_cast<int64_t>(std::strlen(marker))), marker);
  return writeEntry(file, true);
}

// Reports the first of a run of failed writes on the debugger output; a write that succeeds ends the run.
Entry LogFile::noteEntry(bool written) {
  if (file_ == platform::kInvalidFileHandle) return Entry::kDropped;
  if (written) {
    writeFailing_ = false;
    return Entry::kWritten;
  }
  if (!writeFailing_) {
    const auto error = static_cast<int>(platform::GetLastError());
    platform::OutputDebugString(
        formatText("LogWrite(%s) failed, last error = %d", fileName_.c_str(), error).c_str());
  }
  writeFailing_ = true;
  return Entry::kWriteFailed;
}

int32_t LogFile::noteRaw(int32_t result) {
  noteEntry(result >= 0);
  return result;
}

uint32_t LogFile::write(platform::FileHandle file, const void* data, uint32_t count) {
  uint32_t written = 0;
  platform::WriteFile(file, data, count, &written);
  g_lastWriteByteCount.store(written, std::memory_order_relaxed);
  return written;
}

}  // namespace tevra::log
