// The sessions handed out by the layer, under numbers of its own, so that built-in sessions and sessions
// of a loaded library can be open side by side.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/visa/visa_object.h"

namespace tevra::platform::visa {

class SessionTable {
 public:
  static SessionTable& instance();

  // A new number for object, which belongs to the resource manager `manager` (VI_NULL for a manager).
  ViSession add(std::shared_ptr<VisaObject> object, ViSession manager);
  std::shared_ptr<VisaObject> find(ViSession id) const;
  // Removes a session and, for a resource manager, the sessions opened from it; returns the manager's
  // sessions (without the manager), or nothing when id is unknown.
  bool remove(ViSession id, std::shared_ptr<VisaObject>* object,
              std::vector<std::shared_ptr<VisaObject>>* owned);

 private:
  struct Entry {
    std::shared_ptr<VisaObject> object;
    ViSession manager;
  };

  mutable std::mutex mutex_;
  std::map<ViSession, Entry> entries_;
  ViSession next_ = 1;
};

}  // namespace tevra::platform::visa
