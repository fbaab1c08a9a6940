// The comma-separated test report: one line per test item, a title block per device, written raw through
// the report log. The report stays open from a successful open until it is closed or another name is
// opened; the open report's whole name is remembered, so that only the same file counts as the same.
#include <cstdint>
#include <string>

#include "platform/kernel/kernel.h"
#include "platform/registry/ascii_case.h"
#include "src/log/driver_logs.h"
#include "tevra.h"

namespace tevra::log {
namespace {

constexpr int32_t kOpenFailed = -6527;
constexpr int32_t kHeaderFailed = -6531;
constexpr int32_t kTitleFailed = -6567;
constexpr int32_t kWriteFailed = -6595;
constexpr int32_t kWriteStrFailed = -6603;

constexpr char kColumnHeader[] =
    ";; ItemName, Mode, Chan, Rate, Pass, Data, Unit, UpLimit, LowLimit, Note\r\n";
constexpr char kClosingLine[] =
    ";;--------------------------------------------------------------------------------\r\n";

// The name of the report that is open; empty when none is.
std::string& reportName() {
  static std::string name;
  return name;
}

const char* orEmpty(const char* text) {
  return text == nullptr ? "" : text;
}

const char* modeText(int32_t mode) {
  switch (mode) {
    case 1:
      return "11a";
    case 2:
      return "11b";
    case 3:
      return "11g";
    default:
      return "<NC>";
  }
}

bool sameReport(const std::string& a, const char* b) {
  return platform::asciiLowerCase(a) == platform::asciiLowerCase(b);
}

void closeReport() {
  reportLog().WriteRaw(static_cast<int32_t>(sizeof kClosingLine - 1), kClosingLine, 0);
  reportLog().Close();
  reportName().clear();
}

// Opens the report and writes its column header; a report whose header could not be written is closed again.
int32_t openReport(const char* name) {
  closeReport();
  if (!reportLog().Open(name, kNameAppend, false)) {
    traceLog().LogIt("ERR %d, LogOpen(%s) failed", kOpenFailed, name);
    return kOpenFailed;
  }
  const int32_t written =
      reportLog().WriteRaw(static_cast<int32_t>(sizeof kColumnHeader - 1), kColumnHeader, 0);
  if (written < 0) {
    reportLog().Close();
    return kHeaderFailed;
  }
  reportName() = name;
  return written;
}

int32_t orFailure(int32_t count, int32_t failure) {
  return count < 0 ? failure : count;
}

}  // namespace
}  // namespace tevra::log

using namespace tevra::log;

extern "C" int32_t Tevra_csvLog_Open(const char* LogFileName) {
  const char* name = orEmpty(LogFileName);
  traceLog().LogIt("> Start csvLog_Open(%s)", name);
  int32_t result = 0;
  if (*name == '\0') {
    traceLog().LogIt("Empty LogFilename, close previous log '%s'", reportName().c_str());
    closeReport();
  } else if (!reportName().empty() && sameReport(reportName(), name)) {
    traceLog().LogIt("Same LogFilename opened, skip open operation");
    result = 1;
  } else {
    result = openReport(name);
  }
  traceLog().LogIt("> End of csvLog_Open(%s), RetCode = %d", name, result);
  return result;
}

extern "C" void Tevra_csvLog_Close(void) {
  closeReport();
}

extern "C" int32_t Tevra_csvLog_WriteTitle(const char* SerialNumber, const char* MacAddress) {
  const tevra::platform::SystemTime now = tevra::platform::GetLocalTime();
  int32_t count = reportLog().PrintfRaw(";; Report Date: %d/%02d/%02d %02d:%02d:%02d\r\n", now.year,
                                        now.month, now.day, now.hour, now.minute, now.second);
  if (count >= 0 && SerialNumber != nullptr && *SerialNumber != '\0') {
    count = reportLog().PrintfRaw(";; DUT S/N: %s\r\n", SerialNumber);
  }
  if (count >= 0 && MacAddress != nullptr && *MacAddress != '\0') {
    count = reportLog().PrintfRaw(";; DUT MAC: %s\r\n", MacAddress);
  }
  const int32_t result = orFailure(count, kTitleFailed);
  traceLog().LogIt("> End of csvLog_WriteTitle(), RetCode = %d", result);
  return result;
}

extern "C" int32_t Tevra_csvLog_Write(const char* ItemName, int32_t Mode, int32_t Channel, int32_t Rate,
                                      int32_t Pass, double Data, const char* Unit, double UpLimit,
                                      double LowLimit, const char* Note) {
  const int32_t count =
      reportLog().PrintfRaw("%s, %s, %d, %d, %d, %g, %s, %g, %g, %s\r\n", orEmpty(ItemName), modeText(Mode),
                            Channel, Rate, Pass, Data, orEmpty(Unit), UpLimit, LowLimit, orEmpty(Note));
  const int32_t result = orFailure(count, kWriteFailed);
  traceLog().LogIt("> End of csvLog_Write(), RetCode = %d", result);
  return result;
}

extern "C" int32_t Tevra_csvLog_WriteStr(const char* Text) {
  int32_t result = kWriteStrFailed;
  if (Text != nullptr) {
    const auto length = static_cast<int32_t>(std::char_traits<char>::length(Text));
    const int32_t count = reportLog().WriteRaw(length, Text, 0);
    if (count >= length) result = count;
  }
  traceLog().LogIt("> End of csvLog_WriteStr(), RetCode = %d", result);
  return result;
}
