// The subcommands of the tevra tool; each takes the arguments after its name and returns the exit status.
#pragma once

namespace tevra::tool {

int runWaveformCommand(int argc, char** argv);

}  // namespace tevra::tool
