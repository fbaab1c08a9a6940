// Rate change by an arbitrary ratio (output rate / input rate) with liquid-dsp's multi-stage resampler,
// aligned so that output sample m lies at input time m / ratio.
#pragma once

#include "sim/dsp/iq.h"

namespace tevra::dsp {

Samples resample(const Samples& x, double ratio);

}  // namespace tevra::dsp
