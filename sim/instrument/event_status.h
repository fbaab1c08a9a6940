// The IEEE 488.2 standard event status register (*ESR?): the bits that errors and *OPC set.
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

 private:
  uint8_t register_ = kPowerOn;
};

}  // namespace tevra::sim
