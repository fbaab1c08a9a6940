// Feeds any bytes to the simulator's signal code: as a device-under-test profile, and as segment samples
// through the receivers (20 MHz OFDM and HT, 40 MHz HT, DSSS), the power and the spectrum measurements.
// Nothing may crash or read past a buffer.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "sim/dsp/burst_power.h"
#include "sim/dsp/dsss_rx.h"
#include "sim/dsp/ht40_rx.h"
#include "sim/dsp/impairments.h"
#include "sim/dsp/ofdm_rx.h"
#include "sim/dsp/segment_file.h"
#include "sim/dsp/spectral_mask.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    tevra::dsp::applyProfileJson(std::string(bytes), {});
  } catch (const std::invalid_argument&) {
  }
  auto samples = tevra::dsp::decodeSegment(bytes.substr(0, bytes.size() / 4 * 4));
  if (!samples) return 0;
  tevra::dsp::analyzeOfdm(*samples);
  tevra::dsp::analyzeHt40(*samples);
  tevra::dsp::analyzeDsss(*samples);
  tevra::dsp::analyzePower(*samples, 0.01, 4, 16);
  auto spectrum = tevra::dsp::welchSpectrum(*samples, 80e6, 64);
  tevra::dsp::evaluateMask(spectrum, tevra::dsp::ofdmMask());
  tevra::dsp::occupiedBandwidthHz(spectrum);
  return 0;
}
