// How the server's operations fail: a ServerFailure carries the HRESULT and the description that the
// object's entry point leaves as the caller's error information.
#pragma once

#include <string>

#include "platform/com/hresult.h"

namespace tevra::q7730 {

using platform::HRESULT;

// Failures of the server's own (FACILITY_ITF); a value outside a setting's range is E_INVALIDARG.
inline constexpr HRESULT kNotConnected = platform::hr(0x80040301u);
inline constexpr HRESULT kIoFailed = platform::hr(0x80040302u);
inline constexpr HRESULT kInstrumentError = platform::hr(0x80040303u);
inline constexpr HRESULT kNotAQ7730 = platform::hr(0x80040304u);

struct ServerFailure {
  HRESULT hr;
  std::string description;
};

[[noreturn]] void fail(HRESULT hr, std::string description);
// A failure with a printf-style description.
[[noreturn]] void failf(HRESULT hr, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Leaves the description as the calling thread's error information and returns hr.
HRESULT reportFailure(HRESULT hr, const std::string& description);

}  // namespace tevra::q7730
