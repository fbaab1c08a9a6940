// The centre frequency a trace is judged around: the server's when a session is open, else the driver-held
// setting.
#pragma once

#include <cstdint>

namespace tevra::spectrum {

// Reads `Frequency` at position when the instrument interface is held (a failure raises), else gives
// CenterFrequency_MHz in Hz.
double centreFrequencyHz(int32_t position);

}  // namespace tevra::spectrum
