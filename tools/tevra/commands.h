// The subcommands of the tevra command. Each takes its own name as argv[0] and returns the exit status.
#pragma once

int runDevices(int argc, char** argv);

namespace tevra::tool {

// Takes the arguments after its name.
int runWaveformCommand(int argc, char** argv);

}  // namespace tevra::tool
