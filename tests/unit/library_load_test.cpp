// Loads the shared library the way a test program does and checks what its load and unload hooks do.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace {

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The one file the library's weekly naming made in folder, and its yy, week, mm and dd fields.
std::string weeklyTraceFile(const std::string& folder, std::vector<int>* fields) {
  static const std::regex pattern(R"(Velkorin\.log\.(\d\d)W(\d\d)-(\d\d)(\d\d)\.txt)");
  std::string found;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    std::smatch m;
    if (std::regex_match(name, m, pattern)) {
      EXPECT_TRUE(found.empty()) << "more than one trace file: " << found << ", " << name;
      found = entry.path().string();
      fields->clear();
      for (size_t i = 1; i < m.size(); ++i) fields->push_back(std::stoi(m[i].str()));
    }
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
  auto logIt = reinterpret_cast<void (*)(const char*, ...)>(dlsym(library, "Tevra_Log_LogIt"));
  ASSERT_NE(logIt, nullptr);
  logIt("loaded %d", 1);
  ASSERT_EQ(dlclose(library), 0);

  std::vector<int> parts;
  const std::string trace = weeklyTraceFile(folder, &parts);
  ASSERT_FALSE(trace.empty()) << "no weekly trace file in " << folder;
  // The file is dated by the Sunday that begins the current week.
  std::tm sunday{};
  sunday.tm_year = 100 + parts[0];
  sunday.tm_mon = parts[2] - 1;
  sunday.tm_mday = parts[3];
  sunday.tm_hour = 12;
  const std::time_t sundayTime = std::mktime(&sunday);
  EXPECT_EQ(sunday.tm_wday, 0) << trace;
  const double days = std::difftime(std::time(nullptr), sundayTime) / 86400.0;
  EXPECT_GT(days, -1.0) << trace;
  EXPECT_LT(days, 7.0) << trace;

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

  std::vector<int> parts;
  const std::string text = readAll(weeklyTraceFile(folder, &parts));
  EXPECT_NE(text.find("] L20045: DoModal(), RetCode 2\r\n"), std::string::npos) << text;
  EXPECT_TRUE(text.ends_with("] *** End of Log ***\r\n")) << text;
  std::filesystem::remove_all(folder);
}

}  // namespace
