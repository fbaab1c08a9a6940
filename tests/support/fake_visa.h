// A scripted instrument behind the driver's VISA session while it lives, for unit tests of direct I/O. It
// records the exchange as protocol lines ("> command", "< reply", "x command" for a failed write, "clear")
// and answers each query with the next of its scripted replies (the last repeats). Unscripted, "SYST:ERR?"
// answers 0,"No error", "*IDN?" an identity, and other queries nothing (the read times out).
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/visa/visa_object.h"

namespace tevra::testing {

class FakeVisa {
 public:
  FakeVisa();
  ~FakeVisa();
  FakeVisa(const FakeVisa&) = delete;
  FakeVisa& operator=(const FakeVisa&) = delete;

  void answer(const std::string& query, std::vector<std::string> replies);
  void failWrite(const std::string& command, ViStatus status);
  const std::vector<std::string>& protocol() const;

 private:
  class Session;
  std::shared_ptr<Session> session_;
  ViSession id_ = VI_NULL;
};

}  // namespace tevra::testing
