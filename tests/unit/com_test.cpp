#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/com/com_error.h"
#include "platform/com/creation.h"
#include "platform/com/safearray.h"
#include "platform/com/variant.h"
#include "platform/registry/registry.h"
#include "src/core/frame.h"
#include "src/server/instrument.h"
#include "tests/support/temp_dir.h"

namespace tevra::platform {
namespace {

TEST(ComTextTest, ConvertsBetweenUtf8AndUtf16) {
  struct Case {
    std::string utf8;
    std::u16string utf16;
    std::string back;
  } cases[] = {
      {"Q7730", u"Q7730", "Q7730"},
      {"5 \xC2\xB5s", u"5 \u00B5s", "5 \xC2\xB5s"},
      {"\xF0\x9F\x93\xA1", u"\U0001F4E1", "\xF0\x9F\x93\xA1"},
      {"caf\xE9", u"caf\u00E9", "caf\xC3\xA9"},           // a Latin-1 byte that is not UTF-8
      {"\xE2\x82", u"\u00E2\u0082", "\xC3\xA2\xC2\x82"},  // a sequence cut short
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(c.utf8)), c.back) << c.utf8;
  }
  EXPECT_EQ(Utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");
}

TEST(ComTextTest, BstrKeepsItsLengthAndANullTextStaysNull) {
  Bstr null(static_cast<const char*>(nullptr));
  EXPECT_TRUE(null.isNull());
  EXPECT_EQ(null.length(), 0u);
  EXPECT_EQ(null.utf8(), "");
  const char16_t withZero[] = {u'a', u'\0', u'b'};
  Bstr text(std::u16string_view(withZero, 3));
  EXPECT_EQ(text.length(), 3u);
  BSTR copy = text.copy();
  EXPECT_EQ(SysStringLen(copy), 3u);
  SysFreeString(copy);
  SysFreeString(nullptr);
}

TEST(ComArrayTest, OwnsItsElementsAndRefusesToDieLocked) {
  SafeArrayPtr texts = SafeArrayFromStrings({"one", "two"});
  ASSERT_TRUE(texts);
  int32_t index = 1;
  BSTR element = nullptr;
  ASSERT_EQ(SafeArrayGetElement(texts.get(), &index, &element), S_OK);
  EXPECT_EQ(Bstr::attach(element).utf8(), "two");
  index = 2;
  EXPECT_EQ(SafeArrayGetElement(texts.get(), &index, &element), DISP_E_BADINDEX);
  std::vector<double> numbers;
  EXPECT_EQ(SafeArrayToDoubles(texts.get(), &numbers), DISP_E_TYPEMISMATCH);

  void* data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(texts.get(), &data), S_OK);
  EXPECT_EQ(SafeArrayDestroy(texts.get()), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(SafeArrayUnaccessData(texts.get()), S_OK);

  VARIANT v;
  v.vt = VT_ARRAY | VT_BSTR;
  v.parray = texts.release();
  VARIANT copy;
  ASSERT_EQ(VariantCopy(&copy, &v), S_OK);
  EXPECT_NE(copy.parray, v.parray);
  std::vector<std::string> strings;
  ASSERT_EQ(SafeArrayToStrings(copy.parray, &strings), S_OK);
  EXPECT_EQ(strings, (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(VariantClear(&copy), S_OK);
}

TEST(ComGuidTest, ReadsAndWritesTheRegistryForm) {
  GUID g{};
  ASSERT_TRUE(GuidFromString("{26e2dcb8-27BA-44C4-8945-CBB9C8CCA9FF}", &g));
  EXPECT_EQ(g.data1, 0x26E2DCB8u);
  EXPECT_EQ(g.data4[7], 0xFF);
  EXPECT_EQ(GuidToString(g), "{26E2DCB8-27BA-44C4-8945-CBB9C8CCA9FF}");
  for (const char* bad :
       {"26E2DCB8-27BA-44C4-8945-CBB9C8CCA9FF", "{26E2DCB8-27BA-44C4-8945-CBB9C8CCA9F}",
        "{26E2DCB8-27BA-44C4-8945-CBB9C8CCA9FF}x", "{26E2DCB8+27BA-44C4-8945-CBB9C8CCA9FF}", ""}) {
    EXPECT_FALSE(GuidFromString(bad, &g)) << bad;
  }
  char16_t small[10];
  EXPECT_EQ(StringFromGUID2(g, small, 10), 0);
}

// An object that answers IUnknown but not this build's instrument interface id.
class OtherTableObject final : public ComObject<ISupportErrorInfo> {
 public:
  HRESULT InterfaceSupportsErrorInfo(const IID&) override { return S_FALSE; }
};

// Registers the test module under a ProgID in a registration file of the test's own.
class ComCreationTest : public ::testing::Test {
 protected:
  static constexpr const char* kClsid = "{0A1B2C3D-4E5F-4061-8273-948596A7B8C9}";
  static constexpr const char* kMissingModuleClsid = "{0A1B2C3D-4E5F-4061-8273-948596A7B8CA}";

  void SetUp() override {
    const std::string reg = dir_.file("registry.reg");
    test::writeFile(reg, std::string("Windows Registry Editor Version 5.00\r\n\r\n") +
                             "[HKEY_CLASSES_ROOT\\Test.Instrument\\CLSID]\r\n@=\"" + kClsid + "\"\r\n\r\n" +
                             "[HKEY_CLASSES_ROOT\\CLSID\\" + kClsid + "\\InprocServer32]\r\n@=\"" +
                             TEVRA_TEST_SERVER_MODULE + "\"\r\n\r\n" + "[HKEY_CLASSES_ROOT\\CLSID\\" +
                             kMissingModuleClsid + "\\InprocServer32]\r\n@=\"" + dir_.file("none.so") +
                             "\"\r\n");
    ASSERT_TRUE(LoadRegistryFile(reg));
  }
  void TearDown() override {
    server::instrument().reset();
    ResetRegistry();
  }

  // The HRESULT and description that creating `name` raises; S_OK when it succeeds.
  static std::pair<HRESULT, std::string> createError(const char* name) {
    try {
      server::instrument().create(name);
    } catch (const _com_error& e) {
      return {e.Error(), e.Description()};
    }
    return {S_OK, ""};
  }

  test::TempDir dir_;
};

TEST_F(ComCreationTest, CreatesTheRegisteredModuleRunsItAndCallsThroughTheTable) {
  server::Instrument& instr = server::instrument();
  for (const char* name : {"Test.Instrument", kClsid}) {
    instr.create(name);
    ASSERT_TRUE(instr.held());
    EXPECT_EQ(instr.get_SerialNumber(), "TEST-SN-1");
    EXPECT_EQ(instr.get_DriverVersion(), "running") << "created objects are run before use";
    EXPECT_EQ(instr.put_Frequency(2.412e9), S_OK);
    EXPECT_DOUBLE_EQ(instr.get_Frequency(), 2.412e9);
    EXPECT_EQ(instr.Suspend(), S_OK);
  }
}

TEST_F(ComCreationTest, FailuresRaiseTheirHresultsAndClassesRegisteredInTheProcessComeFirst) {
  GUID clsid{};
  ASSERT_TRUE(GuidFromString(kClsid, &clsid));
  const uint32_t refusing = CoRegisterClassObject(clsid, [](const IID&, void**) { return E_ABORT; });
  EXPECT_EQ(createError("Test.Instrument").first, E_ABORT);
  CoRevokeClassObject(refusing);
  const uint32_t otherTable = CoRegisterClassObject(clsid, [](const IID& iid, void** object) {
    return ComPtr<OtherTableObject>::attach(new OtherTableObject)->QueryInterface(iid, object);
  });
  EXPECT_EQ(
      createError("Test.Instrument"),
      std::make_pair(E_NOINTERFACE, std::string("the server module was built from another operation table")));
  CoRevokeClassObject(otherTable);
  struct Case {
    const char* name;
    HRESULT hr;
  } cases[] = {
      {nullptr, E_INVALIDARG},
      {"No.Such.Instrument", CO_E_CLASSSTRING},
      {"{0A1B2C3D-4E5F-4061-8273-000000000000}", REGDB_E_CLASSNOTREG},
      {"{not a clsid}", CO_E_CLASSSTRING},
      {kMissingModuleClsid, hr(0x8007007Eu)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(createError(c.name).first, c.hr) << (c.name ? c.name : "null");
  }
  EXPECT_FALSE(server::instrument().held());
  server::instrument().create("Test.Instrument");
  try {
    server::instrument().Preset();
    FAIL() << "Preset should have raised";
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), E_FAIL);
    EXPECT_EQ(core::describeComError(e), "Preset refused by test module");
  }
}

}  // namespace
}  // namespace tevra::platform
