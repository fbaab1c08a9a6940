// Whether the installed measurement server is the version this driver was built for, as its class
// registration says ("Assembly" value of the in-process server key).
#pragma once

#include <cstdint>

namespace tevra::core {

inline constexpr const char* kServerProgId = "Bextora_Q7730_WLanTest.Instrument";
inline constexpr const char* kSupportedServerVersion = "V5.4.4";

// 0 when supported; -642 (key not opened), -652 (value not read), -693 (no version found), -1 (another
// version), -698 (COM error), each traced.
int32_t checkServerVersion();

// The verdict on one "Assembly" value, with its trace lines: 0, -693 or -1.
int32_t checkAssemblyVersion(const char* assembly);

}  // namespace tevra::core
