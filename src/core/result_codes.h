// Failure codes of the driver core: callers compare against them and the trace shows them.
#pragma once

#include <cstdint>

namespace tevra::core::code {

inline constexpr int32_t kInitViSession = -565;
inline constexpr int32_t kInit = -838;
inline constexpr int32_t kInitGlobal = -599;
inline constexpr int32_t kServerVersionCheck = -698;
inline constexpr int32_t kPreset = -879;
inline constexpr int32_t kSelfTest = -899;
inline constexpr int32_t kClose = -970;
inline constexpr int32_t kSetProperty = -1598;
inline constexpr int32_t kGetProperty = -1882;
inline constexpr int32_t kSerialNumber = -1908;
inline constexpr int32_t kDriverVersion = -1937;
inline constexpr int32_t kFirmwareRevision = -1962;
inline constexpr int32_t kSuspend = -5059;
inline constexpr int32_t kActivateInstrument = -5079;
inline constexpr int32_t kViPreset = -8777;

}  // namespace tevra::core::code
