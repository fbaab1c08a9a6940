#include "src/spectrum/centre_frequency.h"

#include "src/core/settings.h"
#include "src/server/instrument.h"

namespace tevra::spectrum {

double centreFrequencyHz(int32_t position) {
  if (server::instrument().held()) return server::at(position).get_Frequency();
  return core::settings().held.centerFrequencyMHz * 1000000.0;
}

}  // namespace tevra::spectrum
