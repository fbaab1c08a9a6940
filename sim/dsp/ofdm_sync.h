// Burst synchronisation that every OFDM receiver shares, whatever its transform size: packet detection on
// the periodic short training field, the phase advance over a lag (carrier offset) and the timing of the
// long training symbols.
#pragma once

#include <optional>

#include "sim/dsp/iq.h"

namespace tevra::dsp::sync {

// The first sample from `from` on where the signal repeats itself after `period` samples (normalised
// correlation over three periods above 0.6, and below 0.3 after half a period) for two periods in a row.
std::optional<size_t> detectShortTraining(const Samples& x, size_t from, size_t period);

// The angle of the correlation between x[n] and x[n + lag] over `count` samples from `first`.
double lagPhase(const Samples& x, size_t first, size_t count, size_t lag);

// The start of the best match of `symbol` at n and again at n + symbol.size(), for n in [from, last], on x
// turned by exp(j step n) (a carrier offset taken out as the samples are read).
size_t twoSymbolMatch(const Samples& x, const Samples& symbol, size_t from, size_t last, double step = 0.0);

}  // namespace tevra::dsp::sync
