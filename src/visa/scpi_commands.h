// The SCPI texts of the direct instrument I/O, sent exactly as they stand.
#pragma once

namespace tevra::visa::scpi {

inline constexpr const char* kErrorQuery = "SYST:ERR?";
inline constexpr const char* kIdentityQuery = "*IDN?";
inline constexpr const char* kResetAndClear = "*RST;*CLS";
inline constexpr const char* kSidecarLossOff = "DIAGnostic:HW:SCAR:LCOMpensate:COUPle 0";
// A TTL line number and "HIGH" or "LOW".
inline constexpr const char* kTtlLineFormat = "DIAG:HW:MB:MUX:TFW %d,%s";

}  // namespace tevra::visa::scpi
