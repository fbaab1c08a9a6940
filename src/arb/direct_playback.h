// The direct playback flag: set while a waveform was started over SCPI, so that trigger and stop use SCPI.
#pragma once

namespace tevra::arb {

bool directPlaybackActive();
void setDirectPlayback(bool active);

}  // namespace tevra::arb
