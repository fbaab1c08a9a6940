// The subcommands of the tevra command. Each takes its own name as argv[0] and returns the exit status.
#pragma once

int runDevices(int argc, char** argv);
int runBurstRms(int argc, char** argv);
int runNormalize(int argc, char** argv);
int runPadIdle(int argc, char** argv);
int runShowSequence(int argc, char** argv);

namespace tevra::tool {

// Takes the arguments after its name.
int runWaveformCommand(int argc, char** argv);

}  // namespace tevra::tool
