// tevra burst-rms, normalize and pad-idle: the driver's segment file tools, run by hand on local files.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "commands.h"
#include "tevra.h"

namespace {

int failed(const char* command, const char* what, int32_t code) {
  std::fprintf(stderr, "tevra %s: %s failed with %d\n", command, what, static_cast<int>(code));
  return 1;
}

}  // namespace

int runBurstRms(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: tevra burst-rms SEGMENT_FILE...\n");
    return 2;
  }
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    double rms = 0;
    const int32_t burst = Tevra_Calc_SegmentBurstRMS(argv[i], &rms);
    if (burst < 0) {
      status = failed(argv[0], argv[i], burst);
      continue;
    }
    std::printf("%-12.6g %10d  %s\n", rms, static_cast<int>(burst), argv[i]);
  }
  return status;
}

int runNormalize(int argc, char** argv) {
  const bool measureOnly = argc == 3 && std::strcmp(argv[2], "--measure-only") == 0;
  if (argc != 2 && !measureOnly) {
    std::fprintf(stderr,
                 "usage: tevra normalize FOLDER/|PATTERN [--measure-only]\n"
                 "  writes FILE_R for each file, scaled to the smallest burst RMS of them\n");
    return 2;
  }
  const int32_t count = Tevra_Tool_NormalizeBurstRMS(argv[1], measureOnly ? 0 : 1);
  if (count < 0) return failed(argv[0], argv[1], count);
  std::printf("%d files measured%s\n", static_cast<int>(count),
              measureOnly || count < 2 ? "" : " and scaled");
  return count == 0 ? 1 : 0;
}

int runPadIdle(int argc, char** argv) {
  char* end = nullptr;
  const double fraction = argc == 3 ? std::strtod(argv[2], &end) : 0;
  if (argc != 3 || end == argv[2] || *end != '\0') {
    std::fprintf(
        stderr,
        "usage: tevra pad-idle SEGMENT_FILE FRACTION\n  appends FRACTION of the file's length as idle\n");
    return 2;
  }
  const int32_t result = Tevra_FillSegmentIdle(argv[1], fraction);
  return result < 0 ? failed(argv[0], argv[1], result) : 0;
}
