#include "sim/server/server_failure.h"

#include <cstdarg>
#include <cstdio>

#include "interface/q7730/instrument_interface.h"
#include "platform/com/errorinfo.h"

namespace tevra::q7730 {
namespace {

constexpr const char* kErrorSource = "Bextora_Q7730_WLanTest.Instrument";
constexpr size_t kMaxDescription = 512;

}  // namespace

void fail(HRESULT hr, std::string description) {
  throw ServerFailure{hr, std::move(description)};
}

void failf(HRESULT hr, const char* format, ...) {
  char text[kMaxDescription];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  fail(hr, text);
}

HRESULT reportFailure(HRESULT hr, const std::string& description) {
  platform::SetErrorInfo(
      0, platform::CreateErrorInfo(description, kErrorSource, server::IInstrument::iid).get());
  return hr;
}

}  // namespace tevra::q7730
