// The connection behind an instrument session: the socket link or the VXI-11 link, chosen by
// openInstrumentLink; other transports plug in as further InstrumentLink implementations.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "platform/visa/deadline.h"
#include "platform/visa/event_queue.h"
#include "platform/visa/resource_name.h"
#include "platform/visa/visa.h"

namespace tevra::platform::visa {

struct ReadTermination {
  bool enabled = true;
  char character = TEVRA_VISA_DEFAULT_TERMCHAR;
};

class InstrumentLink {
 public:
  virtual ~InstrumentLink() = default;
  // Sends the caller's bytes; *sent counts those that went out. With end, they finish the message (its
  // terminator or END goes with them); without, the next write goes on with the same message.
  virtual ViStatus write(const ViByte* data, size_t size, bool end, const Deadline& deadline,
                         size_t* sent) = 0;
  // Reads up to size bytes; ends at the termination character, at the count or at the deadline.
  virtual ViStatus read(ViByte* data, size_t size, const ReadTermination& termination,
                        const Deadline& deadline, size_t* received) = 0;
  // Drops every reply that has arrived and not been read, a partly received one up to its end.
  virtual ViStatus clear(const ReadTermination& termination, const Deadline& deadline) = 0;
  // The IEEE 488.2 status byte. By default the "*STB?" query, for links without a message of their own.
  virtual ViStatus readStatusByte(const ReadTermination& termination, const Deadline& deadline,
                                  ViUInt16* statusByte);
  // A device trigger. By default the "*TRG" command.
  virtual ViStatus assertTrigger(const Deadline& deadline);
  // Takes the device's exclusive lock, waiting up to timeoutMs for another holder to release it.
  virtual ViStatus lock(ViUInt32 timeoutMs) {
    (void)timeoutMs;
    return VI_ERROR_NSUP_OPER;
  }
  virtual ViStatus unlock() { return VI_ERROR_NSUP_OPER; }
  // Starts posting the device's service requests to queue (VI_ERROR_INV_EVENT where the transport has
  // none); the queue outlives the link. disableServiceRequests stops them at the device.
  virtual ViStatus enableServiceRequests(EventQueue* queue) {
    (void)queue;
    return VI_ERROR_INV_EVENT;
  }
  virtual ViStatus disableServiceRequests() { return VI_SUCCESS; }
  // Waits for a service request until the deadline, reading what the transport needs to; a negative status
  // when the link has failed.
  virtual ViStatus awaitEvents(EventQueue& queue, const Deadline& deadline) {
    queue.waitUntil(deadline);
    return VI_SUCCESS;
  }
  // Ends a call in progress on another thread (VI_ERROR_NSUP_OPER where the transport cannot). Called
  // without the session's lock.
  virtual ViStatus abort() { return VI_ERROR_NSUP_OPER; }
  // Ends the connection and wakes a call that waits on it; later calls fail with VI_ERROR_CONN_LOST.
  virtual void shutdown() = 0;
};

// A stream of bytes to an instrument: the OS socket under a socket link.
class ByteStream {
 public:
  virtual ~ByteStream() = default;
  // Sends every byte before the deadline; *sent counts what went out.
  virtual ViStatus sendAll(const void* data, size_t size, const Deadline& deadline, size_t* sent) = 0;
  // Waits for at least one byte and takes what has arrived, up to size: VI_SUCCESS, VI_ERROR_TMO at the
  // deadline (an expired deadline takes only what is there already), VI_ERROR_CONN_LOST when the peer closed.
  virtual ViStatus receiveSome(void* data, size_t size, const Deadline& deadline, size_t* received) = 0;
  virtual void shutdown() = 0;
  // The local IPv4 address of the connection (network byte order); false when it has none.
  virtual bool localIpv4(uint32_t* address) const {
    (void)address;
    return false;
  }
};

// The bound on how long opening a TCP connection may take.
inline constexpr ViUInt32 kConnectTimeoutMs = 3000;

// A TCP connection with TCP_NODELAY, or nothing with the status that says why.
std::unique_ptr<ByteStream> connectTcp(const std::string& host, uint16_t port, const Deadline& deadline,
                                       ViStatus* status);

// A link that frames raw SCPI messages on a byte stream; its lock is the process's lock of lockKey.
std::unique_ptr<InstrumentLink> makeStreamLink(std::unique_ptr<ByteStream> stream, std::string lockKey);

// A VXI-11 link to the resource's device, found through the host's portmapper within kConnectTimeoutMs;
// VI_ERROR_RSRC_NFOUND when none answers or the device refuses the link.
std::unique_ptr<InstrumentLink> openVxi11Link(const ResourceName& resource, ViStatus* status);

// A HiSLIP link to the resource's sub-address on its port, both channels opened within kConnectTimeoutMs;
// VI_ERROR_RSRC_NFOUND when the server does not answer or refuses the sub-address.
std::unique_ptr<InstrumentLink> openHislipLink(const ResourceName& resource, ViStatus* status);

// The link for a parsed resource: VI_ERROR_RSRC_NFOUND for resources no transport serves.
std::unique_ptr<InstrumentLink> openInstrumentLink(const ResourceName& resource, ViStatus* status);

}  // namespace tevra::platform::visa
