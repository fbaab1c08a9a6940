// What the simulated instrument answers to *IDN?.
#pragma once

namespace tevra::sim {

inline constexpr const char* kManufacturer = "Bextora";
inline constexpr const char* kModel = "Q7730";
inline constexpr const char* kSerialNumber = "SIM7730-0042";
inline constexpr const char* kFirmwareRevision = "3.12.0-sim";

}  // namespace tevra::sim
