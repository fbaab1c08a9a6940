#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/visa/visa.h"

namespace {

// The stand-in's call log; the library is the one the VISA layer loaded.
std::string standinLog() {
  void* library = dlopen(TEVRA_VISA_STANDIN_PATH, RTLD_NOW | RTLD_NOLOAD);
  if (library == nullptr) return "<stand-in not loaded>";
  auto log = reinterpret_cast<const char* (*)()>(dlsym(library, "visa_standin_log"));
  std::string text = log != nullptr ? log() : "<no log>";
  dlclose(library);
  return text;
}

class VisaLibraryTest : public ::testing::Test {
 protected:
  void TearDown() override { unsetenv("TEVRA_VISA_LIBRARY"); }
};

TEST_F(VisaLibraryTest, EveryCallGoesToTheLibraryWithItsOwnSessions) {
  setenv("TEVRA_VISA_LIBRARY", TEVRA_VISA_STANDIN_PATH, 1);
  ViSession rm = VI_NULL;
  ViSession vi = VI_NULL;
  ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
  ASSERT_EQ(viOpen(rm, "TCPIP0::127.0.0.1::5025::SOCKET", VI_NO_LOCK, 0, &vi), VI_SUCCESS);
  EXPECT_NE(rm, vi);
  EXPECT_EQ(viOpen(rm, "TCPIP0::MISSING::5025::SOCKET", VI_NO_LOCK, 0, &vi), VI_ERROR_RSRC_NFOUND);
  ASSERT_EQ(viOpen(rm, "TCPIP0::127.0.0.1::5025::SOCKET", VI_NO_LOCK, 0, &vi), VI_SUCCESS);

  ViUInt32 count = 0;
  EXPECT_EQ(viWrite(vi, reinterpret_cast<ViConstBuf>("*IDN?"), 5, &count), VI_SUCCESS);
  EXPECT_EQ(count, 5u);
  ViByte reply[32] = {};
  EXPECT_EQ(viRead(vi, reply, sizeof reply, &count), VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), count), "STANDIN\n");
  EXPECT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 500), VI_SUCCESS);
  ViUInt32 timeout = 0;
  EXPECT_EQ(viGetAttribute(vi, VI_ATTR_TMO_VALUE, &timeout), VI_SUCCESS);
  EXPECT_EQ(timeout, 1234u);
  EXPECT_EQ(viClear(vi), VI_SUCCESS);
  // Event calls go where the library has them; its event context is closed there.
  EXPECT_EQ(viEnableEvent(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE, VI_NULL), VI_SUCCESS);
  ViEventType type = 0;
  ViEvent event = VI_NULL;
  EXPECT_EQ(viWaitOnEvent(vi, VI_EVENT_SERVICE_REQ, 50, &type, &event), VI_SUCCESS);
  EXPECT_EQ(type, VI_EVENT_SERVICE_REQ);
  EXPECT_EQ(viClose(event), VI_SUCCESS);
  EXPECT_EQ(viDisableEvent(vi, VI_EVENT_SERVICE_REQ, VI_QUEUE), VI_ERROR_NSUP_OPER);
  EXPECT_EQ(viClose(vi), VI_SUCCESS);
  EXPECT_EQ(viClose(rm), VI_SUCCESS);
  EXPECT_EQ(viWrite(vi, reinterpret_cast<ViConstBuf>("*IDN?"), 5, &count), VI_ERROR_INV_OBJECT);

  EXPECT_EQ(standinLog(),
            "viOpenDefaultRM\n"
            "viOpen 100 TCPIP0::127.0.0.1::5025::SOCKET 0 0\n"
            "viOpen 100 TCPIP0::MISSING::5025::SOCKET 0 0\n"
            "viOpen 100 TCPIP0::127.0.0.1::5025::SOCKET 0 0\n"
            "viWrite 200 *IDN?\n"
            "viRead 200 32\n"
            "viSetAttribute 200 1073676314 500\n"
            "viGetAttribute 200 1073676314\n"
            "viClear 200\n"
            "viEnableEvent 200 1073684491 1\n"
            "viWaitOnEvent 200 1073684491 50\n"
            "viClose 300\n"
            "viClose 200\n"
            "viClose 100\n");
}

TEST_F(VisaLibraryTest, ALibraryThatCannotServeIsRefused) {
  const char* cases[] = {"/nonexistent/libvisa.so", "libm.so.6"};
  for (const char* library : cases) {
    setenv("TEVRA_VISA_LIBRARY", library, 1);
    ViSession rm = 77;
    EXPECT_EQ(viOpenDefaultRM(&rm), VI_ERROR_LIBRARY_NFOUND) << library;
    EXPECT_EQ(rm, static_cast<ViSession>(VI_NULL)) << library;
  }
}

TEST_F(VisaLibraryTest, WithoutTheVariableTheBuiltInLayerAnswers) {
  ViSession rm = VI_NULL;
  ViSession vi = VI_NULL;
  ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
  EXPECT_EQ(viOpen(rm, "GPIB0::5::INSTR", VI_NO_LOCK, 0, &vi), VI_ERROR_RSRC_NFOUND);
  EXPECT_EQ(viOpen(rm, "no resource", VI_NO_LOCK, 0, &vi), VI_ERROR_INV_RSRC_NAME);
  EXPECT_EQ(viOpen(rm, nullptr, VI_NO_LOCK, 0, &vi), VI_ERROR_INV_RSRC_NAME);
  EXPECT_EQ(viOpen(rm, "TCPIP0::127.0.0.1::5025::SOCKET", 0x100, 0, &vi), VI_ERROR_INV_ACC_MODE);
  EXPECT_EQ(viOpen(rm, "TCPIP0::127.0.0.1::5025::SOCKET", VI_NO_LOCK, 0, nullptr), VI_ERROR_USER_BUF);
  ViUInt32 count = 0;
  EXPECT_EQ(viWrite(rm, reinterpret_cast<ViConstBuf>("*IDN?"), 5, &count), VI_ERROR_NSUP_OPER);
  EXPECT_EQ(viClose(rm), VI_SUCCESS);
  EXPECT_EQ(viClose(rm), VI_ERROR_INV_OBJECT);
  EXPECT_EQ(viClose(VI_NULL), VI_WARN_NULL_OBJECT);
  EXPECT_EQ(viOpenDefaultRM(nullptr), VI_ERROR_USER_BUF);
}

}  // namespace
