// Feeds any bytes as a segment file to the burst measurement and to scaling, and checks that a refused file
// leaves the destination as it was and an accepted one gives a destination of the source's size.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "tevra.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

std::string scratchFile(const char* suffix) {
  return "/tmp/tevra_segment_fuzz_" + std::to_string(::getpid()) + suffix;
}

std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool writeFile(const std::string& path, const void* data, size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && written;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string source = scratchFile(".wf1");
  const std::string destination = scratchFile("_R.wf1");
  if (writeFile(source, data, size) && writeFile(destination, "kept", 4)) {
    double rms = -1;
    const int32_t burst = Tevra_Calc_SegmentBurstRMS(source.c_str(), &rms);
    check(burst < 0 ? rms == 0 : std::isfinite(rms) && rms >= 0 && rms <= 46341);
    const int32_t scaled = Tevra_Calc_ReduceSegmentBurstRMS(source.c_str(), 0.5, destination.c_str(), &rms);
    check((burst < 0) == (scaled < 0));
    check(scaled < 0 ? contents(destination) == "kept" : contents(destination).size() == size);
  }
  for (const char* suffix : {".wf1", "_R.wf1", "_R.wf1.bak"}) std::remove(scratchFile(suffix).c_str());
  return 0;
}
