#include "src/log/log_file_name.h"

#include <chrono>
#include <cstdio>
#include <utility>

namespace tevra::log {
namespace {

using std::chrono::sys_days;
using std::chrono::year_month_day;

struct BaseAndExtension {
  std::string base;
  std::string extension;
};

// A '.' inside a folder name is not an extension, so the scan stops at the last path separator.
BaseAndExtension splitExtension(const std::string& name) {
  for (size_t i = name.size(); i-- > 0;) {
    const char c = name[i];
    if (c == '.') return {name.substr(0, i), name.substr(i)};
    if (c == '\\' || c == '/' || c == ':') break;
  }
  return {name, std::string()};
}

sys_days dateOf(const platform::SystemTime& now) {
  return sys_days{std::chrono::year{now.year} / std::chrono::month{now.month} / std::chrono::day{now.day}};
}

// strftime's "%U" plus one.
unsigned sundayWeekNumber(sys_days date) {
  const year_month_day ymd{date};
  const sys_days yearStart{ymd.year() / std::chrono::January / 1};
  const auto dayOfYear = static_cast<unsigned>((date - yearStart).count());
  const unsigned weekday = std::chrono::weekday{date}.c_encoding();
  return (dayOfYear + 7 - weekday) / 7 + 1;
}

unsigned twoDigitYear(const year_month_day& ymd) {
  return static_cast<unsigned>(static_cast<int>(ymd.year()) % 100);
}

std::string weekFromSunday(sys_days date) {
  const sys_days sunday = date - std::chrono::days{std::chrono::weekday{date}.c_encoding()};
  const year_month_day ymd{sunday};
  char part[64];
  std::snprintf(part, sizeof part, ".%02uW%02u-%02u%02u", twoDigitYear(ymd), sundayWeekNumber(sunday),
                static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
  return part;
}

std::string datedPart(int32_t namingMode, const platform::SystemTime& now) {
  const sys_days date = dateOf(now);
  const unsigned yy = now.year % 100u;
  char part[64];
  switch (namingMode) {
    case 3:
      std::snprintf(part, sizeof part, ".%02u%02u%02u", yy, now.month, now.day);
      break;
    case 4:
      std::snprintf(part, sizeof part, ".%02uW%02u", yy, sundayWeekNumber(date));
      break;
    case 5:
      return weekFromSunday(date);
    case 6:
      std::snprintf(part, sizeof part, ".%02uM%02u", yy, now.month);
      break;
    case 7:
      std::snprintf(part, sizeof part, ".%02u%02u%02u-%02u%02u%02u", yy, now.month, now.day, now.hour,
                    now.minute, now.second);
      break;
    default:
      return std::string();
  }
  return part;
}

}  // namespace

std::string logFileNameFor(const std::string& name, int32_t namingMode, const platform::SystemTime& now) {
  if (namingMode < 3 || namingMode > 7) return name;
  BaseAndExtension parts = splitExtension(name);
  return std::move(parts.base) + datedPart(namingMode, now) + parts.extension;
}

std::string renamedLogFileName(const std::string& name, const platform::SystemTime& now) {
  char part[64];
  std::snprintf(part, sizeof part, ".%02u%02u-%02u%02u%02u", now.month, now.day, now.hour, now.minute,
                now.second);
  return name + part;
}

}  // namespace tevra::log
