#include "sim/instrument/error_queue.h"

#include "sim/scpi/parameters.h"
#include "sim/scpi/scpi_error.h"

namespace tevra::sim {

std::string errorText(int code, const std::string& detail) {
  std::string text = scpi::standardErrorText(code);
  if (!detail.empty()) text += ";" + detail;
  return text;
}

void ErrorQueue::push(int code, const std::string& detail) {
  pushEntry(ErrorEntry{code, errorText(code, detail)});
}

void ErrorQueue::pushEntry(ErrorEntry entry) {
  if (entries_.size() >= kDepth) {
    entries_.back() =
        ErrorEntry{scpi::errc::kQueueOverflow, scpi::standardErrorText(scpi::errc::kQueueOverflow)};
    return;
  }
  entries_.push_back(std::move(entry));
}

ErrorEntry ErrorQueue::pop() {
  if (entries_.empty()) return ErrorEntry{0, scpi::standardErrorText(0)};
  ErrorEntry entry = entries_.front();
  entries_.pop_front();
  return entry;
}

std::string formatErrorReply(const ErrorEntry& entry) {
  return std::to_string(entry.code) + "," + scpi::formatString(entry.text);
}

}  // namespace tevra::sim
