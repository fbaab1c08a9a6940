#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/driver_test.h"
#include "tevra.h"

namespace tevra::log {
namespace {

using Lines = std::vector<std::string>;

class CsvReportTest : public test::DriverTest {
 protected:
  // The report's rows as Python's csv module reads them, cells joined by '|'.
  static Lines readBack(const std::string& path) {
    const std::string command =
        "/usr/bin/python3 -c 'import csv,sys\n"
        "for row in csv.reader(open(sys.argv[1], newline=\"\"), skipinitialspace=True): "
        "print(\"|\".join(row))' " +
        path;
    Lines rows;
    FILE* pipe = popen(command.c_str(), "r");
    char line[512];
    while (pipe != nullptr && std::fgets(line, sizeof line, pipe) != nullptr) {
      rows.emplace_back(line, std::string(line).find('\n'));
    }
    EXPECT_EQ(pipe == nullptr ? -1 : pclose(pipe), 0);
    return rows;
  }
};

TEST_F(CsvReportTest, AReportReadsBackWithPythonsCsvModule) {
  kernel_.setTime(test::localTime(2026, 3, 4, 5, 6, 7));
  const std::string path = dir_.file("report.csv");
  const std::string upper = dir_.file("REPORT.CSV");
  EXPECT_EQ(Tevra_csvLog_Write("EVM", 1, 1, 54, 1, -30, "dB", -25, -99, nullptr), -6595);
  EXPECT_EQ(Tevra_csvLog_Open(path.c_str()), 74);
  EXPECT_EQ(Tevra_csvLog_Open(upper.c_str()), 1);
  EXPECT_EQ(Tevra_csvLog_WriteTitle("SN42", ""), 18);
  EXPECT_EQ(Tevra_csvLog_Write("EVM", 4, 6, 54, 1, 0.5, "dB", 1, 0, nullptr), 38);
  EXPECT_EQ(Tevra_csvLog_Write("Power", 2, 1, 11, 0, -3.25, "dBm", 20, 10, "low"), 47);
  EXPECT_EQ(Tevra_csvLog_WriteStr("free,text\r\n"), 11);
  EXPECT_EQ(Tevra_csvLog_WriteStr(nullptr), -6603);
  Tevra_csvLog_Close();
  EXPECT_EQ(Tevra_csvLog_WriteStr("late"), -6603);
  EXPECT_EQ(Tevra_csvLog_Open(path.c_str()), 74);
  Tevra_csvLog_Close();
  const std::string header = ";; ItemName|Mode|Chan|Rate|Pass|Data|Unit|UpLimit|LowLimit|Note";
  const std::string closing = ";;" + std::string(80, '-');
  EXPECT_EQ(readBack(path), (Lines{header, ";; Report Date: 2026/03/04 05:06:07", ";; DUT S/N: SN42",
                                   "EVM|<NC>|6|54|1|0.5|dB|1|0|", "Power|11b|1|11|0|-3.25|dBm|20|10|low",
                                   "free|text", closing, header, closing}));
  EXPECT_EQ(
      lines(),
      (Lines{"> End of csvLog_Write(), RetCode = -6595", "> Start csvLog_Open(" + path + ")",
             "> End of csvLog_Open(" + path + "), RetCode = 74", "> Start csvLog_Open(" + upper + ")",
             "Same LogFilename opened, skip open operation",
             "> End of csvLog_Open(" + upper + "), RetCode = 1", "> End of csvLog_WriteTitle(), RetCode = 18",
             "> End of csvLog_Write(), RetCode = 38", "> End of csvLog_Write(), RetCode = 47",
             "> End of csvLog_WriteStr(), RetCode = 11", "> End of csvLog_WriteStr(), RetCode = -6603",
             "> End of csvLog_WriteStr(), RetCode = -6603", "> Start csvLog_Open(" + path + ")",
             "> End of csvLog_Open(" + path + "), RetCode = 74"}));
}

TEST_F(CsvReportTest, NamesAreComparedWholeAndAFailedHeaderClosesTheReport) {
  const std::string base = dir_.file(std::string(299, 'r'));
  const std::string first = base + "1.csv";
  const std::string second = base + "2.csv";
  // Names that agree in their first 299 characters are still two reports (where the file system allows
  // such names; otherwise both opens fail alike).
  const int32_t opened = Tevra_csvLog_Open(first.c_str());
  EXPECT_EQ(Tevra_csvLog_Open(second.c_str()), opened);
  EXPECT_EQ(Tevra_csvLog_Open("/dev/full"), -6531);
  EXPECT_EQ(Tevra_csvLog_WriteStr("x"), -6603);
  EXPECT_EQ(Tevra_csvLog_Open(dir_.file("no/such/dir.csv").c_str()), -6527);
  EXPECT_EQ(Tevra_csvLog_Open(nullptr), 0);
  EXPECT_EQ(lines().back(), "> End of csvLog_Open(), RetCode = 0");
}

}  // namespace
}  // namespace tevra::log
