// Loads the shared library the way a test program does and checks what its load and unload hooks do.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

namespace {

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The one file the library's weekly naming made in folder (the dates are checked against a fake clock in
// the library's unit tests).
std::string weeklyTraceFile(const std::string& folder) {
  static const std::regex pattern(R"(Velkorin\.log\.\d\dW\d\d-\d{4}\.txt)");
  std::string found;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (!std::regex_match(name, pattern)) continue;
    EXPECT_TRUE(found.empty()) << "more than one trace file: " << found << ", " << name;
    found = entry.path().string();
  }
  return found;
}

TEST(LibraryLoadTest, LoadingOpensTheWeeklyTraceWithTheBannerAndUnloadingClosesIt) {
  char folderTemplate[] = "/tmp/tevra-load-XXXXXX";
  ASSERT_NE(mkdtemp(folderTemplate), nullptr);
  const std::string folder = folderTemplate;
  setenv("TEVRA_TRACE_FILE", (folder + "/Velkorin.log.txt").c_str(), 1);

  void* library = dlopen(TEVRA_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  EXPECT_NE(dlsym(library, "Tevra_Log_LogIt"), nullptr);
  EXPECT_EQ(dlsym(library, "_ZN5tevra3log8traceLogEv"), nullptr) << "internal symbols stay hidden";
  auto logIt = reinterpret_cast<int32_t (*)(const char*, ...)>(dlsym(library, "Tevra_Log_LogIt"));
  ASSERT_NE(logIt, nullptr);
  EXPECT_EQ(logIt("loaded %d", 1), 1);
  ASSERT_EQ(dlclose(library), 0);

  const std::string trace = weeklyTraceFile(folder);
  ASSERT_FALSE(trace.empty()) << "no weekly trace file in " << folder;

  const std::string text = readAll(trace);
  EXPECT_NE(text.find("] *** Start of Log ***\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("] Velkorin.dll Version T.05.11, Released Date 2008/04/17 for V5.4.4/A.05.03.04\r\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("] loaded 1\r\n"), std::string::npos) << text;
  EXPECT_TRUE(text.ends_with("] *** End of Log ***\r\n")) << text;
  std::filesystem::remove_all(folder);
}

// A chart window still open when the library is unloaded is closed (end code 2) and the library's GUI
// thread ends, so that unloading neither hangs nor leaves a thread running in unmapped code.
TEST(LibraryLoadTest, UnloadingClosesAnOpenChartWindow) {
  char folderTemplate[] = "/tmp/tevra-load-XXXXXX";
  ASSERT_NE(mkdtemp(folderTemplate), nullptr);
  const std::string folder = folderTemplate;
  setenv("TEVRA_TRACE_FILE", (folder + "/Velkorin.log.txt").c_str(), 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);

  void* library = dlopen(TEVRA_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  using Chart = int32_t (*)(int32_t, const double*, const double*, const char*, int32_t, int32_t);
  auto spectrum = reinterpret_cast<Chart>(dlsym(library, "Tevra_Chart_Spectrum"));
  ASSERT_NE(spectrum, nullptr);
  const double x[] = {2.4e9, 2.5e9};
  const double y[] = {-40, -30};
  EXPECT_EQ(spectrum(2, x, y, "left open", 0, 1), 0);
  ASSERT_EQ(dlclose(library), 0);

  const std::string text = readAll(weeklyTraceFile(folder));
  EXPECT_NE(text.find("] L20045: DoModal(), RetCode 2\r\n"), std::string::npos) << text;
  EXPECT_TRUE(text.ends_with("] *** End of Log ***\r\n")) << text;
  std::filesystem::remove_all(folder);
}

}  // namespace
