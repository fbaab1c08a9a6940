// A scripted stand-in for the instrument behind the driver's VISA session, for unit tests of direct I/O:
// it records the exchange as protocol lines ("> command", "< reply", "x command" for a failed write,
// "clear") and answers queries from a script.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/visa/visa.h"

namespace tevra::testing {

class FakeVisaSession;

class FakeVisa {
 public:
  // Becomes the driver's instrument session; the driver has none again when it goes.
  FakeVisa();
  ~FakeVisa();
  FakeVisa(const FakeVisa&) = delete;
  FakeVisa& operator=(const FakeVisa&) = delete;

  // Replies to a query, one per time it is asked; the last repeats. Unscripted, "SYST:ERR?" answers
  // 0,"No error" and "*IDN?" an identity; other queries get no reply (the read times out).
  void answer(const std::string& query, std::vector<std::string> replies);
  // Every write of command fails with status.
  void failWrite(const std::string& command, ViStatus status);
  std::vector<std::string> protocol() const;

 private:
  std::shared_ptr<FakeVisaSession> session_;
  ViSession id_ = VI_NULL;
};

}  // namespace tevra::testing
