#include "src/devices/service_switch.h"
#include "tevra.h"

extern "C" TEVRA_API int32_t Zunt_enableServiceByFriendlyName(const char* name, int32_t enable,
                                                              const char* location, int32_t flags) {
  return tevra::devices::enableService(name, enable != 0, location, flags);
}

extern "C" TEVRA_API int32_t Zunt_enableServiceEx(const char* name, int32_t enable, const char* location) {
  return tevra::devices::enableService(name, enable != 0, location, 0);
}
