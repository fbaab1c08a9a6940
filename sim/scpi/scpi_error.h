// A SCPI error raised while a command is parsed or executed: the error number and a device-dependent
// detail that follows the standard text after ';' in the error queue.
#pragma once

#include <string>

namespace tevra::sim::scpi {

struct ScpiError {
  int code = 0;
  std::string detail;
};

// The standard SCPI texts of the errors the simulator raises.
namespace errc {
inline constexpr int kCommandError = -100;
inline constexpr int kSyntaxError = -102;
inline constexpr int kDataTypeError = -104;
inline constexpr int kParameterNotAllowed = -108;
inline constexpr int kMissingParameter = -109;
inline constexpr int kUndefinedHeader = -113;
inline constexpr int kHeaderSuffixOutOfRange = -114;
inline constexpr int kNumericDataError = -120;
inline constexpr int kInvalidSuffix = -131;
inline constexpr int kInvalidCharacterData = -141;
inline constexpr int kInvalidStringData = -151;
inline constexpr int kInvalidBlockData = -161;
inline constexpr int kExecutionError = -200;
inline constexpr int kTriggerIgnored = -211;
inline constexpr int kSettingsConflict = -221;
inline constexpr int kDataOutOfRange = -222;
inline constexpr int kTooMuchData = -223;
inline constexpr int kIllegalParameterValue = -224;
inline constexpr int kMassStorageError = -250;
inline constexpr int kFileNameNotFound = -256;
inline constexpr int kFileNameError = -257;
inline constexpr int kQueueOverflow = -350;
inline constexpr int kInputBufferOverrun = -363;
inline constexpr int kQueryInterrupted = -410;
inline constexpr int kQueryUnterminated = -420;
}  // namespace errc

// The standard text of a SCPI error number; "Device-specific error" for numbers without one.
const char* standardErrorText(int code);

// -222 "Data out of range" unless low <= value <= high (NaN is outside every range).
inline void checkInRange(double value, double low, double high) {
  if (!(value >= low && value <= high)) throw ScpiError{errc::kDataOutOfRange, {}};
}

}  // namespace tevra::sim::scpi
