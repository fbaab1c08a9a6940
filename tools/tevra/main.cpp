// tevra: the user's command-line tool. The first argument names a subcommand from the table below.
#include <cstring>
#include <iostream>

#include "tools/tevra/commands.h"

namespace {

struct Subcommand {
  const char* name;
  int (*run)(int argc, char** argv);
  const char* summary;
};

constexpr Subcommand kSubcommands[] = {
    {"waveform", tevra::tool::runWaveformCommand, "write a test waveform as a segment file"},
};

int usage(std::ostream& out, int status) {
  out << "usage: tevra <command> [options]\n";
  for (const Subcommand& s : kSubcommands) out << "  " << s.name << "\t" << s.summary << "\n";
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage(std::cerr, 2);
  if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) return usage(std::cout, 0);
  for (const Subcommand& s : kSubcommands)
    if (!std::strcmp(argv[1], s.name)) return s.run(argc - 2, argv + 2);
  std::cerr << "tevra: unknown command " << argv[1] << "\n";
  return usage(std::cerr, 2);
}
