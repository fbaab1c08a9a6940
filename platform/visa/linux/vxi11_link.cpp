// VXI-11 instrument sessions (TCPIP::host::inst0::INSTR) through liblxi, which speaks the core channel over
// ONC RPC. liblxi's interface is narrow, and the link makes up for it:
// - each of its RPC calls gives up after 25 s whatever I/O timeout it carries, and a failed call does not
//   say whether the device timed out or the link failed. Waits are split into slices of at most 10 s, one
//   call each: a call that fails after about its slice was a device timeout (the next slice follows until
//   the deadline), one that fails early was a lost link. A session closed from another thread ends a wait
//   at the end of its slice.
// - it offers no device_clear: viClear reads and drops the replies that the device holds.
// - it does not say why a read ended, so a read that fills the count is VI_SUCCESS_MAX_CNT, one that ends
//   with the termination character VI_SUCCESS_TERM_CHAR, any other VI_SUCCESS (END).
// - it does not report create_link's error: a device name that the instrument refuses opens, and its
//   writes fail with VI_ERROR_IO.
// - it prints a line on stderr for each failed call, a timeout included.
#include <lxi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <mutex>
#include <vector>

#include "platform/visa/instrument_link.h"
#include "platform/visa/linux/sigpipe_guard.h"

namespace tevra::platform::visa {
namespace {

using Clock = std::chrono::steady_clock;

constexpr uint16_t kPortmapperPort = 111;
constexpr int kSliceMs = 10000;
constexpr size_t kDrainChunk = size_t{64} * 1024;

void initialiseLiblxi() {
  // lxi_init empties liblxi's table of connections, so it runs once per process.
  static std::once_flag once;
  std::call_once(once, [] { lxi_init(); });
}

// liblxi turns the sub-second part of its connect timeout into too few nanoseconds, never carried into
// seconds; it is given whole seconds only.
int wholeSecondsLeft(const Deadline& deadline) {
  int left = deadline.pollMilliseconds();
  int seconds = left < 0 ? 0 : (left + 999) / 1000;
  return std::max(seconds, 1) * 1000;
}

// One liblxi call on a slice of a deadline, and what its failure means.
class Slice {
 public:
  explicit Slice(const Deadline& deadline) : started_(Clock::now()) {
    int left = deadline.pollMilliseconds();
    milliseconds_ = left < 0 || left > kSliceMs ? kSliceMs : left;
  }
  int milliseconds() const { return milliseconds_; }

  // VI_ERROR_TMO for a call that lasted about its slice once the deadline has passed, VI_SUCCESS (go on with
  // the next slice) before that; `early` for a call that ended well before its slice.
  ViStatus failureStatus(const Deadline& deadline, ViStatus early) const {
    bool lastedItsSlice = Clock::now() - started_ >= std::chrono::milliseconds(milliseconds_) / 2;
    if (!lastedItsSlice) return early;
    return deadline.expired() ? VI_ERROR_TMO : VI_SUCCESS;
  }

 private:
  Clock::time_point started_;
  int milliseconds_;
};

class Vxi11Link final : public InstrumentLink {
 public:
  explicit Vxi11Link(int device) : device_(device) {}
  ~Vxi11Link() override {
    SigpipeGuard guard;
    lxi_disconnect(device_);
  }
  Vxi11Link(const Vxi11Link&) = delete;
  Vxi11Link& operator=(const Vxi11Link&) = delete;

  // One device_write with END per call; a write that the device takes only in part goes on with the rest.
  ViStatus write(const ViByte* data, size_t size, const Deadline& deadline, size_t* sent) override {
    *sent = 0;
    if (size > static_cast<size_t>(INT_MAX)) return VI_ERROR_IO;
    const char* bytes = reinterpret_cast<const char*>(data);
    while (*sent < size) {
      if (lost_) return VI_ERROR_CONN_LOST;
      Slice slice(deadline);
      int n = 0;
      {
        SigpipeGuard guard;
        n = lxi_send(device_, bytes + *sent, static_cast<int>(size - *sent), slice.milliseconds());
      }
      if (n > 0) *sent += std::min(static_cast<size_t>(n), size - *sent);
      if (*sent == size) break;
      // An early answer that took less than all: the device refused the data.
      ViStatus status = slice.failureStatus(deadline, n < 0 ? VI_ERROR_CONN_LOST : VI_ERROR_IO);
      if (status != VI_SUCCESS) return status;
    }
    return lost_ ? VI_ERROR_CONN_LOST : VI_SUCCESS;
  }

  ViStatus read(ViByte* data, size_t size, const ReadTermination& termination, const Deadline& deadline,
                size_t* received) override {
    *received = 0;
    size_t request = std::min(size, static_cast<size_t>(INT_MAX));
    for (;;) {
      if (lost_) return VI_ERROR_CONN_LOST;
      if (request == 0) return VI_SUCCESS_MAX_CNT;
      Slice slice(deadline);
      int n = 0;
      {
        SigpipeGuard guard;
        n = lxi_receive(device_, reinterpret_cast<char*>(data), static_cast<int>(request),
                        slice.milliseconds());
      }
      if (n > 0) {
        *received = std::min(static_cast<size_t>(n), request);
        return endOfRead(data, *received, request, termination);
      }
      ViStatus status = slice.failureStatus(deadline, VI_ERROR_CONN_LOST);
      if (status != VI_SUCCESS) return status;
    }
  }

  ViStatus clear(const ReadTermination&, const Deadline& deadline) override {
    if (lost_) return VI_ERROR_CONN_LOST;
    std::vector<char> scratch(kDrainChunk);
    SigpipeGuard guard;
    while (lxi_receive(device_, scratch.data(), static_cast<int>(scratch.size()), 0) > 0) {
      if (deadline.expired()) return VI_ERROR_TMO;
    }
    return VI_SUCCESS;
  }

  void shutdown() override { lost_ = true; }

 private:
  static ViStatus endOfRead(const ViByte* data, size_t count, size_t request,
                            const ReadTermination& termination) {
    if (count == request) return VI_SUCCESS_MAX_CNT;
    if (termination.enabled && data[count - 1] == static_cast<ViByte>(termination.character))
      return VI_SUCCESS_TERM_CHAR;
    return VI_SUCCESS;
  }

  int device_;
  std::atomic<bool> lost_{false};
};

}  // namespace

std::unique_ptr<InstrumentLink> openVxi11Link(const ResourceName& resource, ViStatus* status) {
  Deadline deadline = Deadline::afterMilliseconds(kConnectTimeoutMs);
  // The portmapper is reached first, within the deadline: liblxi bounds its own connect only by cancelling
  // a thread inside the RPC library.
  if (!connectTcp(resource.host, kPortmapperPort, deadline, status)) {
    *status = VI_ERROR_RSRC_NFOUND;
    return nullptr;
  }
  initialiseLiblxi();
  int device = LXI_ERROR;
  {
    SigpipeGuard guard;
    device =
        lxi_connect(resource.host.c_str(), 0, resource.deviceName.c_str(), wholeSecondsLeft(deadline), VXI11);
  }
  if (device < 0) {
    *status = VI_ERROR_RSRC_NFOUND;
    return nullptr;
  }
  *status = VI_SUCCESS;
  return std::make_unique<Vxi11Link>(device);
}

}  // namespace tevra::platform::visa
