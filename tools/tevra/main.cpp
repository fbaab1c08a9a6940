// tevra: command-line tools around the Tevra driver.
#include <cstdio>
#include <cstring>

#include "tools/tevra/commands.h"

namespace {

struct Command {
  const char* name;
  const char* summary;
  int (*run)(int argc, char** argv);
};

constexpr Command kCommands[] = {
    {"devices", "list the devices the driver can switch; switch one on or off by name", runDevices},
    {"waveform", "write a test waveform (802.11a/g, b, n, CW, tones, noise) as a segment file",
     [](int argc, char** argv) { return tevra::tool::runWaveformCommand(argc - 1, argv + 1); }},
    {"burst-rms", "burst RMS and burst length of segment files", runBurstRms},
    {"normalize", "bring the segment files of a folder to their smallest burst RMS (FILE_R)", runNormalize},
    {"pad-idle", "append idle samples to a segment file (the old one kept as .bak)", runPadIdle},
    {"show-sequence", "list the segments and repetitions of sequence files", runShowSequence},
};

int usage() {
  std::fprintf(stderr, "usage: tevra COMMAND [ARGS...]\n\ncommands:\n");
  for (const auto& command : kCommands) std::fprintf(stderr, "  %-10s %s\n", command.name, command.summary);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  for (const auto& command : kCommands) {
    if (std::strcmp(argv[1], command.name) == 0) return command.run(argc - 1, argv + 1);
  }
  std::fprintf(stderr, "tevra: unknown command '%s'\n", argv[1]);
  return usage();
}
