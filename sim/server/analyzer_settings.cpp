// The settings the server holds, the analyzer's among them also set on the instrument, and the findings
// of the auto-ranging.
#include <cinttypes>
#include <cstdio>

#include "sim/server/q7730_server.h"
#include "sim/server/server_failure.h"

namespace tevra::q7730 {
namespace {

using platform::S_OK;

[[noreturn]] void failOutOfRange(const char* name, const char* value, const char* lowest, const char* highest,
                                 const char* unit) {
  const char* space = *unit == '\0' ? "" : " ";
  failf(platform::E_INVALIDARG, "%s %s%s%s out of range (%s to %s%s%s)", name, value, space, unit, lowest,
        highest, space, unit);
}

void checkSetting(const char* name, double value, double lowest, double highest, const char* unit) {
  if (value >= lowest && value <= highest) return;
  char text[3][32];
  std::snprintf(text[0], sizeof text[0], "%g", value);
  std::snprintf(text[1], sizeof text[1], "%g", lowest);
  std::snprintf(text[2], sizeof text[2], "%g", highest);
  failOutOfRange(name, text[0], text[1], text[2], unit);
}

void checkSetting(const char* name, int32_t value, int32_t lowest, int32_t highest, const char* unit) {
  if (value >= lowest && value <= highest) return;
  char text[3][16];
  std::snprintf(text[0], sizeof text[0], "%" PRId32, value);
  std::snprintf(text[1], sizeof text[1], "%" PRId32, lowest);
  std::snprintf(text[2], sizeof text[2], "%" PRId32, highest);
  failOutOfRange(name, text[0], text[1], text[2], unit);
}

const char* triggerSourceOf(int32_t style) {
  switch (style) {
    case kTriggerImmediate:
      return "IMMediate";
    case kTriggerExternal:
      return "EXTernal";
    default:
      return "BURSt";
  }
}

std::string settingCommand(const char* scpiHeader, double value) {
  char command[96];
  std::snprintf(command, sizeof command, "%s %.15g", scpiHeader, value);
  return command;
}

std::string triggerSourceCommand(int32_t style) {
  return std::string("TRIGger:SEQuence:SOURce ") + triggerSourceOf(style);
}

}  // namespace

void Q7730Server::applySetting(const char* scpiHeader, double value) {
  if (scpiHeader == nullptr || !link_.isOpen()) return;
  link_.run({settingCommand(scpiHeader, value)});
}

void Q7730Server::applyAnalyzerSettings() {
#define Q7730_APPLY_NUMBER(Name, Type, initial, lowest, highest, unit, scpiHeader) \
  if (const char* header = scpiHeader; header != nullptr) {                        \
    link_.write(settingCommand(header, static_cast<double>(settings_.Name)));      \
  }
#define Q7730_APPLY_FLAG(Name, initial)
  Q7730_SERVER_SETTINGS(Q7730_APPLY_NUMBER, Q7730_APPLY_FLAG)
#undef Q7730_APPLY_NUMBER
#undef Q7730_APPLY_FLAG
  link_.write(triggerSourceCommand(settings_.TriggerStyle));
}

#define Q7730_DEFINE_NUMBER(Name, Type, initial, lowest, highest, unit, scpiHeader) \
  HRESULT Q7730Server::get_##Name(Type* out) {                                      \
    *out = settings_.Name;                                                          \
    return S_OK;                                                                    \
  }                                                                                 \
  HRESULT Q7730Server::put_##Name(Type value) {                                     \
    checkSetting(#Name, value, Type{lowest}, Type{highest}, unit);                  \
    applySetting(scpiHeader, static_cast<double>(value));                           \
    settings_.Name = value;                                                         \
    return S_OK;                                                                    \
  }
#define Q7730_DEFINE_FLAG(Name, initial)                \
  HRESULT Q7730Server::get_##Name(VARIANT_BOOL* out) {  \
    *out = variantBool(settings_.Name);                 \
    return S_OK;                                        \
  }                                                     \
  HRESULT Q7730Server::put_##Name(VARIANT_BOOL value) { \
    settings_.Name = value != 0;                        \
    return S_OK;                                        \
  }
Q7730_SERVER_SETTINGS(Q7730_DEFINE_NUMBER, Q7730_DEFINE_FLAG)
#undef Q7730_DEFINE_NUMBER
#undef Q7730_DEFINE_FLAG

HRESULT Q7730Server::get_TriggerStyle(int32_t* out) {
  *out = settings_.TriggerStyle;
  return S_OK;
}

HRESULT Q7730Server::put_TriggerStyle(int32_t code) {
  if (code != kTriggerImmediate && code != kTriggerBurst && code != kTriggerExternal) {
    failf(platform::E_INVALIDARG,
          "TriggerStyle %" PRId32 " is not a trigger style (0 immediate, 2 burst, 4 external)", code);
  }
  if (link_.isOpen()) link_.run({triggerSourceCommand(code)});
  settings_.TriggerStyle = code;
  return S_OK;
}

HRESULT Q7730Server::get_AutoRangePowerRange11ag(double* out) {
  settleAutoRange();
  *out = findings11ag_.powerRange;
  return S_OK;
}

HRESULT Q7730Server::get_AutoRangeTriggerLevel11ag(double* out) {
  settleAutoRange();
  *out = findings11ag_.triggerLevel;
  return S_OK;
}

HRESULT Q7730Server::get_AutoRangeMaxPacketLength11ag(double* out) {
  settleAutoRange();
  *out = findings11ag_.maxPacketLength;
  return S_OK;
}

HRESULT Q7730Server::get_AutoRangeMaxSymbolsUsed11ag(int32_t* out) {
  settleAutoRange();
  *out = findings11ag_.maxSymbolsUsed;
  return S_OK;
}

HRESULT Q7730Server::get_AutoRangePowerRange11b(double* out) {
  settleAutoRange();
  *out = findings11b_.powerRange;
  return S_OK;
}

HRESULT Q7730Server::get_AutoRangeTriggerLevel11b(double* out) {
  settleAutoRange();
  *out = findings11b_.triggerLevel;
  return S_OK;
}

HRESULT Q7730Server::get_AutoRangeMaxPacketLength11b(double* out) {
  settleAutoRange();
  *out = findings11b_.maxPacketLength;
  return S_OK;
}

}  // namespace tevra::q7730
