#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/com/bstr.h"
#include "platform/kernel/kernel.h"
#include "platform/registry/registry.h"
#include "tests/support/temp_dir.h"

namespace tevra::platform {
namespace {

constexpr const char* kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";
constexpr const char* kClassKey =
    "[HKEY_CLASSES_ROOT\\CLSID\\{26E2DCB8-27BA-44C4-8945-CBB9C8CCA9FF}\\InprocServer32]\r\n";
constexpr const char* kAssembly = "Bextora.Q7730, Version=5.4.4.0, Culture=neutral";

std::vector<uint8_t> bytesOf(std::string_view text) {
  return {text.begin(), text.end()};
}

const RegValue* findValue(const RegFile& file, const std::string& name) {
  if (file.keys.empty()) return nullptr;
  const auto it = file.keys.back().values.find(name);
  return it == file.keys.back().values.end() ? nullptr : &it->second;
}

TEST(RegFileParseTest, ValueLinesGiveTheirTypeAndData) {
  struct Case {
    const char* what;
    std::string lines;
    std::string name;
    std::optional<RegValue> expected;
  } cases[] = {
      {"default value", "@=\"default\"", "", RegValue{REG_SZ, bytesOf({"default\0", 8})}},
      {"text with commas", std::string("\"Assembly\"=\"") + kAssembly + "\"", "assembly",
       RegValue{REG_SZ, bytesOf({kAssembly, std::strlen(kAssembly) + 1})}},
      {"escapes", R"("Path"="C:\\dir\\\"x\"\q")", "path",
       RegValue{REG_SZ, bytesOf({"C:\\dir\\\"x\"\\q\0", 13})}},
      {"name case and escaped quote", R"("Na\"Me"="v")", "na\"me", RegValue{REG_SZ, bytesOf({"v\0", 2})}},
      {"dword", "\"N\"=dword:0000010a", "n", RegValue{REG_DWORD, {0x0a, 0x01, 0, 0}}},
      {"binary", "\"B\"=hex:01,fF,0", "b", RegValue{REG_BINARY, {0x01, 0xff, 0x00}}},
      {"empty binary", "\"B\"=hex:", "b", RegValue{REG_BINARY, {}}},
      {"qword", "\"Q\"=hex(b):01,00,00,00,00,00,00,80", "q",
       RegValue{REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0x80}}},
      {"expand text in UTF-16", "\"E\"=hex(2):25,00,41,00,25,00,00,00", "e",
       RegValue{REG_EXPAND_SZ, bytesOf({"%A%\0", 4})}},
      {"expand text without its zero", "\"E\"=hex(2):41,00", "e",
       RegValue{REG_EXPAND_SZ, bytesOf({"A\0", 2})}},
      {"string list over continued lines", "\"M\"=hex(7):61,00,62,00,00,00,\\\r\n  63,00,00,00,00,00", "m",
       RegValue{REG_MULTI_SZ, bytesOf({"ab\0c\0\0", 6})}},
      {"continuation at the end", "\"B\"=hex:01,\\", "b", RegValue{REG_BINARY, {0x01}}},
      {"spaces around =", "\"S\" = \"x\"", "s", RegValue{REG_SZ, bytesOf({"x\0", 2})}},
      {"deletion", "\"X\"=-", "x", std::nullopt},
      {"unterminated text", "\"X\"=\"abc", "x", std::nullopt},
      {"unterminated name", "\"X=\"abc\"", "x", std::nullopt},
      {"backslash before the line end", "\"X\"=\"abc\\", "x", std::nullopt},
      {"trailing text", "\"X\"=\"a\" b", "x", std::nullopt},
      {"dword of nine digits", "\"X\"=dword:000000001", "x", std::nullopt},
      {"dword with a non-digit", "\"X\"=dword:0000000g", "x", std::nullopt},
      {"three-digit byte", "\"X\"=hex:123", "x", std::nullopt},
      {"empty byte", "\"X\"=hex:01,,02", "x", std::nullopt},
      {"unclosed type", "\"X\"=hex(2:00", "x", std::nullopt},
      {"unknown data", "\"X\"=word:1", "x", std::nullopt},
      {"no name", "=\"a\"", "", std::nullopt},
  };
  for (const auto& c : cases) {
    const auto file = ParseRegFile(std::string(kHeader) + kClassKey + c.lines + "\r\n");
    ASSERT_TRUE(file.has_value()) << c.what;
    const RegValue* value = findValue(*file, c.name);
    ASSERT_EQ(value != nullptr, c.expected.has_value()) << c.what;
    if (value == nullptr) continue;
    EXPECT_EQ(value->type, c.expected->type) << c.what;
    EXPECT_EQ(value->data, c.expected->data) << c.what;
  }
}

std::string utf16LeWithBom(std::string_view utf8) {
  std::string out = "\xFF\xFE";
  for (const char16_t unit : Utf8ToUtf16(utf8)) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
  }
  return out;
}

TEST(RegFileParseTest, HeadersEncodingsAndSections) {
  const std::string body = std::string(kClassKey) + "; note\n\n@=\"\xC3\xA9\xF0\x9F\x98\x80\"\n";
  struct Case {
    const char* what;
    std::string text;
    std::optional<std::string> defaultValue;
    size_t keyCount;
  } cases[] = {
      {"LF line ends", "Windows Registry Editor Version 5.00\n" + body, "\xC3\xA9\xF0\x9F\x98\x80", 1},
      {"UTF-8 byte-order mark", "\xEF\xBB\xBF" + std::string(kHeader) + body, "\xC3\xA9\xF0\x9F\x98\x80", 1},
      {"UTF-16LE", utf16LeWithBom(std::string(kHeader) + body), "\xC3\xA9\xF0\x9F\x98\x80", 1},
      {"REGEDIT4 text kept as bytes", "REGEDIT4\r\n" + std::string(kClassKey) + "@=hex(2):41,42", "AB", 1},
      {"deleted key", std::string(kHeader) + "[-HKEY_CLASSES_ROOT\\X]\n@=\"a\"\n", std::nullopt, 0},
      {"value before any key", std::string(kHeader) + "@=\"a\"\n" + kClassKey, std::nullopt, 1},
      {"empty key", std::string(kHeader) + "[]\n@=\"a\"\n", std::nullopt, 0},
  };
  for (const auto& c : cases) {
    const auto file = ParseRegFile(c.text);
    ASSERT_TRUE(file.has_value()) << c.what;
    EXPECT_EQ(file->keys.size(), c.keyCount) << c.what;
    const RegValue* value = findValue(*file, "");
    ASSERT_EQ(value != nullptr, c.defaultValue.has_value()) << c.what;
    if (value != nullptr) {
      EXPECT_EQ(value->data, bytesOf({c.defaultValue->c_str(), c.defaultValue->size() + 1})) << c.what;
    }
  }
  for (const char* bad : {"", "\n\n", "Windows Registry Editor Version 4.00\n", "[HKEY_CLASSES_ROOT\\X]\n"}) {
    EXPECT_FALSE(ParseRegFile(bad).has_value()) << bad;
  }
  EXPECT_EQ(ParseRegFile(std::string(kHeader) + kClassKey)->keys.front().path,
            "HKEY_CLASSES_ROOT\\CLSID\\{26E2DCB8-27BA-44C4-8945-CBB9C8CCA9FF}\\InprocServer32");
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(LoadRegistryText(std::string(kHeader) + kClassKey +
                                 "@=\"/opt/q7730server.so\"\r\n\"Assembly\"=\"" + kAssembly +
                                 "\"\r\n\"Count\"=dword:00000003\r\n"));
  }
  void TearDown() override {
    unsetenv("TEVRA_REGISTRY");
    ResetRegistry();
  }

  static HKEY openClassKey() {
    HKEY key = 0;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, "CLSID\\{26E2DCB8-27BA-44C4-8945-CBB9C8CCA9FF}\\InprocServer32",
                           0, KEY_ALL_ACCESS, &key),
              0);
    return key;
  }
};

TEST_F(RegistryTest, KeyPathsCompareWithoutCaseAndUnderEveryName) {
  struct Case {
    HKEY root;
    const char* path;
    int32_t expected;
  } cases[] = {
      {HKEY_CLASSES_ROOT, "clsid\\{26e2dcb8-27ba-44c4-8945-cbb9c8cca9ff}\\INPROCSERVER32", 0},
      {HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID\\{26E2DCB8-27BA-44C4-8945-CBB9C8CCA9FF}\\InprocServer32",
       0},
      {HKEY_CLASSES_ROOT, "CLSID", 0},
      {HKEY_CLASSES_ROOT, "", 0},
      {HKEY_CLASSES_ROOT, "CLSID\\{00000000-0000-0000-0000-000000000000}", 2},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\ClassesX\\CLSID", 2},
      {HKEY_CURRENT_USER, "CLSID", 2},
      {0x1234, "CLSID", 6},
  };
  for (const auto& c : cases) {
    HKEY key = 0x77;
    EXPECT_EQ(RegOpenKeyEx(c.root, c.path, 0, KEY_READ, &key), c.expected) << c.path;
    EXPECT_EQ(GetLastError(), static_cast<uint32_t>(c.expected)) << c.path;
    EXPECT_EQ(key != 0, c.expected == 0) << c.path;
    if (key != 0) {
      EXPECT_EQ(RegCloseKey(key), 0);
    }
  }
  ASSERT_TRUE(LoadRegistryText(std::string(kHeader) + "[hkcr\\Bextora.Thing\\CLSID]\n@=\"{1}\"\n"));
  HKEY parent = 0, child = 0;
  ASSERT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, "BEXTORA.thing", 0, KEY_READ, &parent), 0);
  EXPECT_EQ(RegOpenKeyEx(parent, "clsid", 0, KEY_READ, &child), 0);
  RegCloseKey(child);
  RegCloseKey(parent);
}

TEST_F(RegistryTest, QueriesNeverWritePastTheGivenSize) {
  const HKEY key = openClassKey();
  const uint32_t needed = static_cast<uint32_t>(std::strlen(kAssembly)) + 1;
  uint32_t type = 0, size = 0;
  EXPECT_EQ(RegQueryValueEx(key, "ASSEMBLY", nullptr, &type, nullptr, &size), 0);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, needed);

  std::vector<uint8_t> buffer(needed + 8, 0xAA);
  size = needed - 1;
  EXPECT_EQ(RegQueryValueEx(key, "Assembly", nullptr, &type, buffer.data(), &size), 234);
  EXPECT_EQ(GetLastError(), 234u);
  EXPECT_EQ(size, needed);
  EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0xAA), static_cast<long>(buffer.size()));

  size = static_cast<uint32_t>(buffer.size());
  EXPECT_EQ(RegQueryValueEx(key, "Assembly", nullptr, &type, buffer.data(), &size), 0);
  EXPECT_EQ(size, needed);
  EXPECT_STREQ(reinterpret_cast<const char*>(buffer.data()), kAssembly);
  EXPECT_EQ(buffer[needed], 0xAA);

  char path[64] = {};
  size = sizeof path;
  EXPECT_EQ(RegQueryValueEx(key, nullptr, nullptr, &type, reinterpret_cast<uint8_t*>(path), &size), 0);
  EXPECT_STREQ(path, "/opt/q7730server.so");
  uint32_t count = 0;
  size = sizeof count;
  EXPECT_EQ(RegQueryValueEx(key, "Count", nullptr, &type, reinterpret_cast<uint8_t*>(&count), &size), 0);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(count, 3u);

  uint32_t reserved = 0;
  EXPECT_EQ(RegQueryValueEx(key, "Missing", nullptr, &type, nullptr, &size), 2);
  EXPECT_EQ(RegQueryValueEx(key, "Assembly", &reserved, &type, nullptr, &size), 87);
  EXPECT_EQ(RegQueryValueEx(key, "Assembly", nullptr, &type, buffer.data(), nullptr), 87);
  EXPECT_EQ(RegQueryValueEx(HKEY_CLASSES_ROOT, "Assembly", nullptr, &type, nullptr, &size), 2);
  EXPECT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ, nullptr), 87);

  EXPECT_FALSE(LoadRegistryFile("/nonexistent/registry.reg"));
  EXPECT_EQ(RegQueryValueEx(key, "Assembly", nullptr, nullptr, nullptr, &size), 0)
      << "an open key keeps the registry it was opened in";
  HKEY other = 0;
  EXPECT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ, &other), 2);

  EXPECT_EQ(RegCloseKey(key), 0);
  EXPECT_EQ(RegCloseKey(key), 6);
  EXPECT_EQ(GetLastError(), 6u);
  EXPECT_EQ(RegQueryValueEx(key, "Assembly", nullptr, &type, nullptr, &size), 6);
  EXPECT_EQ(RegQueryValueEx(0xDEADBEEF, "Assembly", nullptr, &type, nullptr, &size), 6);
}

// Opens the class key on a few threads at once, as the first use of the registry may happen.
int readersThatFindTheAssembly() {
  std::vector<std::thread> readers;
  std::atomic<int> found{0};
  for (int i = 0; i < 4; ++i) {
    readers.emplace_back([&] {
      HKEY key = 0;
      char value[128] = {};
      uint32_t size = sizeof value;
      if (RegOpenKeyEx(HKEY_CLASSES_ROOT, "CLSID\\{26E2DCB8-27BA-44C4-8945-CBB9C8CCA9FF}\\InprocServer32", 0,
                       KEY_READ, &key) == 0 &&
          RegQueryValueEx(key, "Assembly", nullptr, nullptr, reinterpret_cast<uint8_t*>(value), &size) == 0 &&
          std::string(value) == kAssembly) {
        ++found;
      }
      RegCloseKey(key);
    });
  }
  for (auto& reader : readers) reader.join();
  return found.load();
}

TEST_F(RegistryTest, LoadsLazilyFromTheFileNamedByTheEnvironment) {
  const std::string registration =
      std::string(kHeader) + kClassKey + "\"Assembly\"=\"" + kAssembly + "\"\r\n";
  std::string oversized = registration + ";";
  oversized.resize(kMaxRegFileBytes + 1, 'x');
  struct Case {
    const char* what;
    std::optional<std::string> content;
    int readers;
  } cases[] = {
      {"UTF-16LE file", utf16LeWithBom(registration), 4},
      {"UTF-8 file", registration, 4},
      {"file over the size bound", oversized, 0},
      {"no registry file", std::nullopt, 0},
  };
  const test::TempDir dir;
  const std::string path = dir.file("registry.reg");
  setenv("TEVRA_REGISTRY", path.c_str(), 1);
  for (const auto& c : cases) {
    std::filesystem::remove(path);
    if (c.content) test::writeFile(path, *c.content);
    ResetRegistry();
    EXPECT_EQ(readersThatFindTheAssembly(), c.readers) << c.what;
  }
}

}  // namespace
}  // namespace tevra::platform
