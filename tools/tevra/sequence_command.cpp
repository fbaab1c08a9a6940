// tevra show-sequence: the segments and repetitions of local sequence files.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "tevra.h"

int runShowSequence(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: tevra show-sequence SEQUENCE_FILE...\n");
    return 2;
  }
  constexpr int32_t kNamesSize = 64 * 1024;
  std::vector<char> names(kNamesSize);
  std::vector<int32_t> counts(kNamesSize / 2);
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    const int32_t entries = Tevra_ARBEx_GetSegmentList(argv[i], names.data(), kNamesSize, counts.data());
    if (entries < 0) {
      std::fprintf(stderr, "tevra show-sequence: %s cannot be read (%d)\n", argv[i],
                   static_cast<int>(entries));
      status = 1;
      continue;
    }
    std::printf("%s: %d segments\n", argv[i], static_cast<int>(entries));
    const char* name = names.data();
    for (int32_t n = 0; n < entries; ++n, name += std::string(name).size() + 1) {
      std::printf("  %-24s x %u\n", name, static_cast<unsigned>(counts[static_cast<size_t>(n)]));
    }
  }
  return status;
}
