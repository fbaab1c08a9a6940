#include "sim/scpi/scpi_error.h"

namespace tevra::sim::scpi {

const char* standardErrorText(int code) {
  switch (code) {
    case 0:
      return "No error";
    case errc::kCommandError:
      return "Command error";
    case errc::kSyntaxError:
      return "Syntax error";
    case errc::kDataTypeError:
      return "Data type error";
    case errc::kParameterNotAllowed:
      return "Parameter not allowed";
    case errc::kMissingParameter:
      return "Missing parameter";
    case errc::kUndefinedHeader:
      return "Undefined header";
    case errc::kHeaderSuffixOutOfRange:
      return "Header suffix out of range";
    case errc::kNumericDataError:
      return "Numeric data error";
    case errc::kInvalidSuffix:
      return "Invalid suffix";
    case errc::kInvalidCharacterData:
      return "Invalid character data";
    case errc::kInvalidStringData:
      return "Invalid string data";
    case errc::kInvalidBlockData:
      return "Invalid block data";
    case errc::kExecutionError:
      return "Execution error";
    case errc::kTriggerIgnored:
      return "Trigger ignored";
    case errc::kSettingsConflict:
      return "Settings conflict";
    case errc::kDataOutOfRange:
      return "Data out of range";
    case errc::kTooMuchData:
      return "Too much data";
    case errc::kIllegalParameterValue:
      return "Illegal parameter value";
    case errc::kMassStorageError:
      return "Mass storage error";
    case errc::kFileNameNotFound:
      return "File name not found";
    case errc::kFileNameError:
      return "File name error";
    case errc::kQueueOverflow:
      return "Queue overflow";
    case errc::kInputBufferOverrun:
      return "Input buffer overrun";
    case errc::kQueryInterrupted:
      return "Query INTERRUPTED";
    case errc::kQueryUnterminated:
      return "Query UNTERMINATED";
    default:
      return "Device-specific error";
  }
}

}  // namespace tevra::sim::scpi
