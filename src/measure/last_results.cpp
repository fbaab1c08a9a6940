#include "src/measure/last_results.h"

namespace tevra::measure {

LastResults& lastResults() {
  static LastResults results;
  return results;
}

void resetLastResults() {
  lastResults() = LastResults{};
}

}  // namespace tevra::measure
