// The IEEE 488.2 status registers: the standard event status register (*ESR?) with the bits that errors
// and *OPC set, its enable register (*ESE), the service request enable register (*SRE) and the status byte
// they sum up into.
#pragma once

#include <cstdint>

namespace tevra::sim {

class EventStatus {
 public:
  static constexpr uint8_t kOperationComplete = 0x01;
  static constexpr uint8_t kQueryError = 0x04;
  static constexpr uint8_t kDeviceError = 0x08;
  static constexpr uint8_t kExecutionError = 0x10;
  static constexpr uint8_t kCommandError = 0x20;
  static constexpr uint8_t kPowerOn = 0x80;

  // Status byte bits.
  static constexpr uint8_t kErrorQueueBit = 0x04;
  static constexpr uint8_t kMessageAvailable = 0x10;
  static constexpr uint8_t kEventSummary = 0x20;
  static constexpr uint8_t kMasterSummary = 0x40;

  // The bit that an error number belongs to: -1xx command, -2xx execution, -4xx query, others device.
  void recordError(int code);
  void set(uint8_t bits) { register_ |= bits; }
  // *ESR? reads and clears.
  uint8_t readAndClear() {
    uint8_t value = register_;
    register_ = 0;
    return value;
  }
  void clear() { register_ = 0; }

  void setEventEnable(uint8_t bits) { eventEnable_ = bits; }
  uint8_t eventEnable() const { return eventEnable_; }
  // The master summary bit cannot be enabled: it is the summary.
  void setServiceEnable(uint8_t bits) { serviceEnable_ = bits & ~kMasterSummary; }
  uint8_t serviceEnable() const { return serviceEnable_; }

  // *STB?: the error queue bit, MAV, ESB from the enabled events, MSS from the enabled status bits.
  uint8_t statusByte(bool errorQueued, bool messageAvailable) const;

 private:
  uint8_t register_ = kPowerOn;
  uint8_t eventEnable_ = 0;
  uint8_t serviceEnable_ = 0;
};

// When a front end raises a service request: when the master summary bit of a status byte rises. It must
// fall again (the summary cleared, *SRE changed) before the next request.
class ServiceRequestEdge {
 public:
  bool rises(uint8_t statusByte) {
    bool summary = (statusByte & EventStatus::kMasterSummary) != 0;
    bool rose = summary && !summary_;
    summary_ = summary;
    return rose;
  }

 private:
  bool summary_ = false;
};

}  // namespace tevra::sim
