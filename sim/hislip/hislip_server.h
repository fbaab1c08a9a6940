// The simulator's HiSLIP front end (IVI-6.1) on 127.0.0.1: each session (sub-address "hislip0") is a
// synchronous channel and an asynchronous one, and one connection of the engine with its own errors and
// faults. It works in synchronized mode, or in overlapped mode when set so (replies queue in order and no
// message interrupts one; MAV in a status query is left to the client), and serves Data/DataEnd with
// message ids, Trigger, device clear,
// status queries (MAV while a reply has not been reported delivered), the exclusive lock with its wait,
// remote/local control and the maximum message size. A message that interrupts a reply not reported
// delivered queues -410; a rise of the status byte's summary bit sends AsyncServiceRequest. Locks are
// advisory, as between VISA clients: they make other lock requests wait, and other sessions' data is served.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/visa/hislip_message.h"
#include "sim/instrument/instrument.h"
#include "sim/net/loopback_listener.h"

namespace tevra::sim::hislip {

class HislipServer {
 public:
  static constexpr size_t kMaxConnections = 64;

  explicit HislipServer(Instrument& instrument)
      : instrument_(instrument), listener_(kMaxConnections, [this](int fd) { serve(fd); }) {}
  ~HislipServer() { stop(); }
  HislipServer(const HislipServer&) = delete;
  HislipServer& operator=(const HislipServer&) = delete;

  // Overlapped instead of synchronized mode, for the sessions that start after the call.
  void setOverlapped(bool overlapped) { overlapped_ = overlapped; }

  // Listens on 127.0.0.1:port (0 = a free port); false with a reason when that fails.
  bool start(uint16_t port, std::string* error) { return listener_.start(port, error); }
  uint16_t port() const { return listener_.port(); }
  // Ends every session and waits for their threads.
  void stop();

  struct Session;

 private:
  void serve(int fd);
  void serveSync(int fd, platform::visa::hislip::Reader& reader, const std::shared_ptr<Session>& session);
  void serveAsync(int fd, platform::visa::hislip::Reader& reader, const std::shared_ptr<Session>& session);
  std::shared_ptr<Session> newSession();
  std::shared_ptr<Session> findSession(uint16_t id);
  void endSession(uint16_t id);
  // The exclusive lock for session id within waitMs: whether it was taken.
  bool lock(uint16_t id, uint32_t waitMs);
  bool unlock(uint16_t id);
  // The mode as InitializeResponse and the device clear acknowledgements state it.
  uint8_t mode() const { return overlapped_ ? 1 : 0; }

  Instrument& instrument_;
  std::mutex mutex_;
  std::condition_variable lockReleased_;
  std::map<uint16_t, std::shared_ptr<Session>> sessions_;
  uint16_t nextSession_ = 1;
  std::optional<uint16_t> lockHolder_;
  bool stopping_ = false;
  std::atomic<bool> overlapped_{false};
  LoopbackListener listener_;
};

}  // namespace tevra::sim::hislip
