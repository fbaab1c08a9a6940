// Switches network interfaces through the exported functions in a network namespace of the test's own, so
// that the host's interfaces are never touched: the test runs itself again under `unshare --net`, and the
// inner run refuses to work unless its namespace differs from the outer run's and holds only a loopback.
#include <gtest/gtest.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <sys/wait.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "src/log/driver_logs.h"
#include "tests/support/temp_dir.h"
#include "tests/support/trace_compare.h"
#include "tevra.h"

namespace tevra::devices {
namespace {

constexpr char kInnerRun[] = "TEVRA_PRIVATE_NETNS";

std::string ownNamespace() {
  std::error_code ec;
  return std::filesystem::read_symlink("/proc/self/ns/net", ec).string();
}

// Runs a shell command and returns its exit status with its output.
int run(const std::string& command, std::string& output) {
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return -1;
  std::array<char, 512> chunk{};
  while (std::fgets(chunk.data(), chunk.size(), pipe) != nullptr) output += chunk.data();
  while (!output.empty() && std::isspace(static_cast<unsigned char>(output.back()))) output.pop_back();
  const int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool linkIsUp(const char* name) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ifreq request{};
  std::snprintf(request.ifr_name, sizeof request.ifr_name, "%s", name);
  const bool up = fd >= 0 && ::ioctl(fd, SIOCGIFFLAGS, &request) == 0 && (request.ifr_flags & IFF_UP) != 0;
  if (fd >= 0) ::close(fd);
  return up;
}

void switchLinksInThisNamespace(const std::string& outerNamespace) {
  ASSERT_FALSE(ownNamespace().empty());
  ASSERT_NE(ownNamespace(), outerNamespace) << "not in a private network namespace";
  const std::unique_ptr<struct if_nameindex, decltype(&if_freenameindex)> links(if_nameindex(),
                                                                                if_freenameindex);
  ASSERT_TRUE(links && links.get()[0].if_name != nullptr && links.get()[1].if_name == nullptr &&
              std::string(links.get()[0].if_name) == "lo")
      << "the namespace is not a fresh one";
  std::string output;
  ASSERT_EQ(run("ip link add tevra0 type veth peer name tevra1", output), 0) << output;
  const char* first = if_nametoindex("tevra0") < if_nametoindex("tevra1") ? "tevra0" : "tevra1";

  test::TempDir dir;
  const std::string trace = dir.file("trace.txt");
  log::traceLog().Open(trace.c_str(), 0, true);
  EXPECT_EQ(Zunt_enableServiceByFriendlyName("TEVRA0", 1, nullptr, 1), 1);
  EXPECT_TRUE(linkIsUp("tevra0"));
  EXPECT_FALSE(linkIsUp("tevra1"));
  EXPECT_EQ(Zunt_enableServiceEx("Tevra", 1, nullptr), 1);
  EXPECT_TRUE(linkIsUp(first));
  EXPECT_EQ(Zunt_enableServiceEx("tevra0", 0, nullptr), 1);
  EXPECT_FALSE(linkIsUp("tevra0"));
  EXPECT_EQ(Zunt_enableServiceEx("tevra1", 1, "pci0000:00"), TEVRA_DEVICE_NOT_FOUND);
  EXPECT_EQ(Zunt_enableServiceByFriendlyName("LO", 1, "", 1), 1);
  EXPECT_TRUE(linkIsUp("lo"));
  log::traceLog().Close();
  test::expectTraceLines(
      trace, {"*** Start of Log ***", ">> Enabled 'TEVRA0' 'Location:<null>' ...",
              ">> found Service 'tevra0'", ">> Enabled 'Tevra' 'Location:<null>' ...",
              std::string(">> found Service '") + first + "'", ">> Disable 'tevra0' 'Location:<null>' ...",
              ">> found Service 'tevra0'", ">> Enabled 'tevra1' 'Location:pci0000:00' ...",
              ">> incorrect location ''", "Service 'tevra1' with Location 'pci0000:00' not found",
              ">> Enabled 'LO' 'Location:' ...", ">> found Service 'lo'", "*** End of Log ***"});
}

TEST(DeviceNamespaceTest, SwitchesAVethPairThroughTheExportedFunctions) {
  if (const char* outerNamespace = std::getenv(kInnerRun)) {
    switchLinksInThisNamespace(outerNamespace);
    return;
  }
  std::string output;
  if (run("unshare --net true", output) != 0) {
    GTEST_SKIP() << "network namespaces are not permitted here (unshare --net: " << output
                 << "); the test needs root or CAP_SYS_ADMIN";
  }
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  output.clear();
  const int status =
      run(std::string(kInnerRun) + "='" + ownNamespace() + "' unshare --net '" + self +
              "' --gtest_filter=DeviceNamespaceTest.SwitchesAVethPairThroughTheExportedFunctions",
          output);
  EXPECT_EQ(status, 0) << output;
}

}  // namespace
}  // namespace tevra::devices
