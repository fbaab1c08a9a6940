#include "platform/visa/session_table.h"

namespace tevra::platform::visa {

// Never destroyed: a library's exit handler may still close its sessions after the static destructors of
// the objects created after it have run.
SessionTable& SessionTable::instance() {
  static SessionTable* const table = new SessionTable;
  return *table;
}

ViSession SessionTable::add(std::shared_ptr<VisaObject> object, ViSession manager) {
  std::lock_guard<std::mutex> lock(mutex_);
  // Numbers are not reused while the process lives, so a stale number never reaches a newer session.
  while (next_ == VI_NULL || entries_.count(next_) != 0) ++next_;
  ViSession id = next_++;
  entries_[id] = Entry{std::move(object), manager};
  return id;
}

std::shared_ptr<VisaObject> SessionTable::find(ViSession id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(id);
  return it == entries_.end() ? nullptr : it->second.object;
}

bool SessionTable::remove(ViSession id, std::shared_ptr<VisaObject>* object,
                          std::vector<std::shared_ptr<VisaObject>>* owned) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(id);
  if (it == entries_.end()) return false;
  *object = std::move(it->second.object);
  entries_.erase(it);
  for (auto child = entries_.begin(); child != entries_.end();) {
    if (child->second.manager == id) {
      owned->push_back(std::move(child->second.object));
      child = entries_.erase(child);
    } else {
      ++child;
    }
  }
  return true;
}

}  // namespace tevra::platform::visa
