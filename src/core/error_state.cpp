#include "src/core/error_state.h"

#include "tevra.h"

namespace tevra::core {

ErrorState& errorState() {
  static ErrorState state;
  return state;
}

}  // namespace tevra::core

extern "C" TEVRA_API int32_t Tevra_GetCOMLastError(void) {
  return tevra::core::comLastError();
}
