// A text log on one file: timestamped entries ("MM/DD hh:mm:ss.mmm [tid] text"), raw writes, and file names
// that can carry the date, week or month of the moment the log is opened.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/fs/fs.h"
#include "platform/kernel/kernel.h"

namespace tevra::log {

// How Open turns the given name into the file it opens (see log_file_name.h for the patterns).
enum NamingMode : int32_t {
  kNameTruncate = 0,          // the name itself, emptied
  kNameAppend = 1,            // the name itself, appended to
  kNameRenameOld = 2,         // the name itself, new; an existing file is renamed with its date first
  kNameDaily = 3,             // base.yymmdd.ext
  kNameWeekly = 4,            // base.yyWww.ext
  kNameWeeklyFromSunday = 5,  // base.yyWww-mmdd.ext, dated by the Sunday that begins the week
  kNameMonthly = 6,           // base.yyMmm.ext
  kNamePerOpening = 7,        // base.yymmdd-hhmmss.ext
};

// Bytes passed to the operating system by the most recent write of any LogFile; shared by all instances.
uint32_t lastWriteByteCount();

// What became of a timestamped entry (the values are the results of Tevra_Log_LogIt).
enum class Entry : int32_t {
  kWriteFailed = -1,  // the file refused the bytes (disk full, a broken device)
  kDropped = 0,       // no file open
  kWritten = 1,
};

// Every operation that builds or writes serialises on the instance's own recursive lock, and so do Open and
// Close, so that a writer never reaches a file that another thread is closing.
//
// A log is never lost to a bad Open: the file that was open stays open until the new one has been opened and
// has taken its start marker. Write failures are reported by the operation that wrote (its result) and on
// the debugger output, once when writes begin to fail ("LogWrite(<file>) failed, last error = <code>").
//
// Bounds:
//  - LogText and LogIt grow the line buffer to hold the whole entry: new capacity = (entry length + text
//    length + 32) rounded down to a multiple of 32, kept until the object is destroyed. The capacity never
//    exceeds kMaxCapacity (16 MiB); a longer text (or one arriving when growth is switched off or memory runs
//    out) is cut to what the current buffer holds.
//  - PrintfRaw formats into a private buffer of kRawBufferSize bytes; a text of kRawBufferSize bytes or more
//    is not written at all (a cut line would run into the next one) and the result is -1.
class LogFile {
 public:
  static constexpr int32_t kInlineCapacity = 4096;
  static constexpr int32_t kMaxCapacity = 16 * 1024 * 1024;
  static constexpr size_t kRawBufferSize = 16384;
  // WriteRaw flags.
  static constexpr uint32_t kRawAppendCrLf = 1;
  static constexpr uint32_t kRawPrefix = 2;
  // WriteRaw and PrintfRaw results besides the byte count.
  static constexpr int32_t kRawShortWrite = -1;
  static constexpr int32_t kRawNotOpen = -2;

  LogFile();
  // Opens name at once when it is not null.
  LogFile(const char* name, int32_t namingMode, bool lineMode);
  virtual ~LogFile();
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  // Moves the log to the file the name and mode choose; true when that file is open and took the start
  // marker. A null or empty name, or a mode outside 0..7, closes the log. A file that cannot be opened or
  // written keeps the file that was open (reported on the debugger output).
  bool Open(const char* name, int32_t namingMode, bool lineMode);
  void Close();

  // One timestamped entry formatted printf-style. A null format writes nothing.
  Entry LogIt(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // The same with an argument list; named apart because LogIt(format, 0) would pick a va_list overload.
  Entry LogItV(const char* format, va_list args) __attribute__((format(printf, 2, 0)));
  // One timestamped entry with length bytes of text; a negative length measures a zero-terminated text.
  // A null text is written as an empty one.
  Entry LogText(int32_t length, const char* text);

  // Writes length bytes of data as they are, optionally after the prefix (kRawPrefix) and before CR LF
  // (kRawAppendCrLf). Returns length, kRawShortWrite when fewer bytes went out (or the length is negative
  // or the data null), kRawNotOpen when no file is open.
  int32_t WriteRaw(int32_t length, const void* data, uint32_t flags);
  // Formats printf-style and writes the text without prefix or line end. Returns the byte count,
  // kRawShortWrite when fewer bytes were written than formatted, kRawNotOpen when no file is open.
  int32_t PrintfRaw(const char* format, ...) __attribute__((format(printf, 2, 3)));

  bool isOpen() const;
  // The file that the last successful Open chose; empty while closed.
  std::string fileName() const;
  int32_t capacity() const;
  int32_t namingMode() const;
  bool lineMode() const;
  // Growth is on unless switched off; without it long entries are cut to the buffer.
  void setBufferMayGrow(bool mayGrow);

 private:
  void beginEntry(const platform::SystemTime& now);
  int32_t reserveText(int64_t textLength);
  void grow(int64_t textLength);
  void appendText(int32_t length, const char* text);
  bool writeEntry(platform::FileHandle file, bool lineMode);
  bool writeMarker(platform::FileHandle file, const char* marker);
  Entry noteEntry(bool written);
  int32_t noteRaw(int32_t result);
  uint32_t write(platform::FileHandle file, const void* data, uint32_t count);

  mutable platform::CriticalSection lock_;
  bool lineMode_ = true;
  bool bufferMayGrow_ = true;
  int32_t namingMode_ = kNameWeeklyFromSunday;
  int32_t capacity_ = kInlineCapacity;
  char inlineBuffer_[kInlineCapacity] = {};
  char* buffer_ = inlineBuffer_;
  int32_t length_ = 0;
  platform::FileHandle file_ = platform::kInvalidFileHandle;
  std::string fileName_;
  bool writeFailing_ = false;
};

}  // namespace tevra::log
