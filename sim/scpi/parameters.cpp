#include "sim/scpi/parameters.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "sim/scpi/header_pattern.h"
#include "sim/scpi/scpi_error.h"

namespace tevra::sim::scpi {
namespace {

const Parameter& expectKind(const Parameter& p, ParameterKind kind) {
  if (p.kind != kind) throw ScpiError{errc::kDataTypeError, {}};
  return p;
}

}  // namespace

double scaledNumber(const Parameter& p, const Unit* units, size_t count) {
  expectKind(p, ParameterKind::kNumeric);
  if (!std::isfinite(p.number)) throw ScpiError{errc::kNumericDataError, {}};
  if (p.unit.empty()) return p.number;
  for (size_t i = 0; i < count; ++i) {
    if (p.unit == units[i].name) return p.number * units[i].scale;
  }
  throw ScpiError{errc::kInvalidSuffix, p.unit};
}

double toNumber(const Parameter& p) {
  return scaledNumber(p, nullptr, 0);
}

int64_t toInteger(const Parameter& p) {
  double value = toNumber(p);
  if (std::fabs(value) > 9.0e15) throw ScpiError{errc::kDataOutOfRange, {}};
  return static_cast<int64_t>(std::llround(value));
}

int toInt(const Parameter& p) {
  int64_t value = toInteger(p);
  if (value < INT32_MIN || value > INT32_MAX) throw ScpiError{errc::kDataOutOfRange, {}};
  return static_cast<int>(value);
}

bool toBoolean(const Parameter& p) {
  if (p.kind == ParameterKind::kCharacter) {
    if (p.text == "ON") return true;
    if (p.text == "OFF") return false;
    throw ScpiError{errc::kInvalidCharacterData, p.text};
  }
  return toInteger(p) != 0;
}

size_t toChoice(const Parameter& p, std::initializer_list<std::string_view> choices) {
  expectKind(p, ParameterKind::kCharacter);
  size_t index = 0;
  for (std::string_view choice : choices) {
    if (mnemonicMatches(choice, p.text)) return index;
    ++index;
  }
  throw ScpiError{errc::kInvalidCharacterData, p.text};
}

const std::string& toText(const Parameter& p) {
  return expectKind(p, ParameterKind::kString).text;
}

std::string_view toBlock(const Parameter& p) {
  // A spooled payload is taken only by the commands that store files.
  if (expectKind(p, ParameterKind::kBlock).spool) throw ScpiError{errc::kTooMuchData, {}};
  return p.block;
}

std::string formatReal(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.9E", value);
  return text;
}

std::string formatInteger(int64_t value) {
  return std::to_string(value);
}

std::string formatBoolean(bool value) {
  return value ? "1" : "0";
}

std::string formatString(std::string_view text) {
  std::string result = "\"";
  for (char c : text) {
    if (c == '"') result.push_back('"');
    result.push_back(c);
  }
  result.push_back('"');
  return result;
}

std::string formatBlock(std::string_view bytes) {
  std::string length = std::to_string(bytes.size());
  std::string result = "#" + std::to_string(length.size()) + length;
  result.append(bytes);
  return result;
}

}  // namespace tevra::sim::scpi
