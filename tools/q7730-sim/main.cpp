// q7730-sim: the simulated Q7730 as a daemon on 127.0.0.1. Prints the bound port on stdout (and, with
// --vxi11, the VXI-11 core channel's port on a second line) and serves until SIGINT or SIGTERM.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sim/net/simulator.h"
#include "sim/scpi/parameters.h"

namespace {

constexpr const char* kUsage =
    "usage: q7730-sim --storage DIR [--port N] [--vxi11] [--hislip[=PORT]] [--hislip-overlapped]\n"
    "                 [--profile FILE] [fault options]\n"
    "       q7730-sim --version\n"
    "  --port N               TCP port on 127.0.0.1 (default 5025; 0 = a free port); the bound port is "
    "printed\n"
    "  --vxi11                serve the VXI-11 core channel too, on a free port that is printed on a second\n"
    "                         line and registered with the portmapper (rpcbind) when one runs\n"
    "  --hislip[=PORT]        serve HiSLIP too, on PORT (default 4880; 0 = a free port), printed on the\n"
    "                         next line\n"
    "  --hislip-overlapped    HiSLIP in overlapped mode (default: synchronized)\n"
    "  --storage DIR          generator memory folder, created and seeded when needed\n"
    "  --profile FILE         device-under-test profile of the measurement model\n"
    "fault options, for every connection (COUNT is a number of events or INF; without it, every event):\n"
    "  --fault-delay MS[,COUNT]      delay replies\n"
    "  --fault-split PIECES[,COUNT]  send replies in pieces\n"
    "  --fault-missing COUNT|INF     drop replies\n"
    "  --fault-close COUNT|INF       close the connection instead of running a message\n"
    "  --fault-error NUMBER,TEXT     queue an error at start\n";

struct Options {
  uint16_t port = 5025;
  bool vxi11 = false;
  std::optional<uint16_t> hislip;
  bool hislipOverlapped = false;
  std::string storage;
  std::string profile;
  std::vector<std::string> controlMessages;
};

[[noreturn]] void usageError(const std::string& what) {
  std::cerr << "q7730-sim: " << what << "\n" << kUsage;
  std::exit(2);
}

std::string withCount(const std::string& value) {
  return value.find(',') == std::string::npos ? value + ",INF" : value;
}

// The control message that a fault option stands for.
std::string faultMessage(const std::string& option, const std::string& value) {
  static const std::map<std::string, std::string> kHeaders = {
      {"--fault-delay", ":SIMulation:FAULt:GLOBal:DELay "},
      {"--fault-split", ":SIMulation:FAULt:GLOBal:SPLit "},
      {"--fault-missing", ":SIMulation:FAULt:GLOBal:MISSing "},
      {"--fault-close", ":SIMulation:FAULt:GLOBal:CLOSe "},
  };
  if (option == "--fault-error") {
    auto comma = value.find(',');
    if (comma == std::string::npos) usageError("--fault-error needs NUMBER,TEXT");
    return ":SIMulation:FAULt:ERRor " + value.substr(0, comma) + "," +
           tevra::sim::scpi::formatString(value.substr(comma + 1));
  }
  auto header = kHeaders.find(option);
  if (header == kHeaders.end()) usageError("unknown option " + option);
  bool takesValue = option == "--fault-delay" || option == "--fault-split";
  return header->second + (takesValue ? withCount(value) : value);
}

uint16_t parsePort(const std::string& text) {
  char* end = nullptr;
  long port = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || port < 0 || port > 65535) usageError("bad port " + text);
  return static_cast<uint16_t>(port);
}

Options parseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i];
    if (option == "--help" || option == "-h") {
      std::cout << kUsage;
      std::exit(0);
    }
    if (option == "--version") {
      std::cout << "q7730-sim " << TEVRA_VERSION_TEXT << "\n";
      std::exit(0);
    }
    if (option == "--hislip-overlapped") {
      options.hislipOverlapped = true;
      continue;
    }
    if (option == "--hislip" || option.rfind("--hislip=", 0) == 0) {
      options.hislip = option == "--hislip" ? 4880 : parsePort(option.substr(9));
      continue;
    }
    if (option == "--vxi11") {
      options.vxi11 = true;
      continue;
    }
    std::string value;
    if (auto eq = option.find('='); eq != std::string::npos) {
      value = option.substr(eq + 1);
      option.resize(eq);
    } else if (i + 1 < argc) {
      value = argv[++i];
    } else {
      usageError(option + " needs a value");
    }
    if (option == "--port") {
      options.port = parsePort(value);
    } else if (option == "--storage") {
      options.storage = value;
    } else if (option == "--profile") {
      options.profile = value;
    } else {
      options.controlMessages.push_back(faultMessage(option, value));
    }
  }
  if (options.storage.empty()) usageError("--storage DIR is required");
  if (!options.profile.empty() && !std::ifstream(options.profile))
    usageError("cannot read profile " + options.profile);
  return options;
}

// Serves VXI-11 and prints its port; without a portmapper clients must be told the port some other way.
void startVxi11(tevra::sim::Simulator& simulator) {
  std::string error;
  if (!simulator.startVxi11(0, &error))
    std::cerr << "q7730-sim: VXI-11 is not registered with the portmapper: " << error << "\n";
  std::printf("%u\n", simulator.vxi11Port());
}

}  // namespace

int main(int argc, char** argv) {
  Options options = parseOptions(argc, argv);

  // Block the stop signals before any thread starts, so that only sigwait below receives them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  try {
    tevra::sim::Simulator simulator({.storageDir = options.storage, .profile = options.profile});
    for (const auto& message : options.controlMessages) {
      if (auto error = simulator.instrument().configure(message)) {
        std::cerr << "q7730-sim: " << message << ": " << error->code << ", " << error->text << "\n";
        return 2;
      }
    }
    simulator.start(options.port);
    std::printf("%u\n", simulator.port());
    if (options.vxi11) startVxi11(simulator);
    if (options.hislip) {
      simulator.startHislip(*options.hislip, options.hislipOverlapped);
      std::printf("%u\n", simulator.hislipPort());
    }
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stopSignals, &signal);
    simulator.stop();
  } catch (const std::exception& error) {
    std::cerr << "q7730-sim: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
