// The instrument's error queue: first in, first out, a fixed depth. When it is full the newest entry is
// replaced by -350 "Queue overflow" and later errors are lost until an entry has been read.
#pragma once

#include <cstddef>
#include <deque>
#include <string>

namespace tevra::sim {

struct ErrorEntry {
  int code = 0;
  std::string text;  // the standard text, then ";" and the detail when there is one
};

class ErrorQueue {
 public:
  static constexpr size_t kDepth = 20;

  // An error with its standard text and, after ';', the detail.
  void push(int code, const std::string& detail);
  // An error with a text of the caller's.
  void pushEntry(ErrorEntry entry);
  // The oldest entry, or 0 "No error" when the queue is empty.
  ErrorEntry pop();
  void clear() { entries_.clear(); }
  size_t size() const { return entries_.size(); }

 private:
  std::deque<ErrorEntry> entries_;
};

// The standard text of an error number and, after ';', the detail when there is one.
std::string errorText(int code, const std::string& detail);

// The reply to SYSTem:ERRor?: the number, a comma and the quoted text.
std::string formatErrorReply(const ErrorEntry& entry);

}  // namespace tevra::sim
