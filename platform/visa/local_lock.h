// The exclusive lock of a resource without a device lock (SOCKET): kept within the process, shared by the
// sessions to the same host and port. Other sessions' I/O on a locked resource fails with
// VI_ERROR_RSRC_LOCKED; other lock requests wait for it up to their timeout.
#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>

#include "platform/visa/visa.h"

namespace tevra::platform::visa {

class LocalLocks {
 public:
  static LocalLocks& instance();

  // The lock of resource for owner, within timeoutMs: VI_SUCCESS or VI_ERROR_TMO.
  ViStatus lock(const std::string& resource, const void* owner, ViUInt32 timeoutMs);
  // VI_SUCCESS, or VI_ERROR_SESN_NLOCKED when owner does not hold it.
  ViStatus unlock(const std::string& resource, const void* owner);
  // Whether a session other than owner holds the lock of resource.
  bool heldByOther(const std::string& resource, const void* owner) const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable released_;
  std::map<std::string, const void*> holders_;
};

}  // namespace tevra::platform::visa
