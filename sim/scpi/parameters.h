// Conversions of parsed parameters to the values a command takes, raising the SCPI error that a
// parameter of the wrong kind, an unknown unit or an unknown word deserves; and the formats of replies.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "sim/scpi/scpi_parser.h"

namespace tevra::sim::scpi {

struct Unit {
  const char* name;  // upper case, as the parser keeps suffixes
  double scale;      // to the command's base unit
};

inline constexpr Unit kFrequencyUnits[] = {{"HZ", 1.0}, {"KHZ", 1e3}, {"MHZ", 1e6}, {"GHZ", 1e9}};
inline constexpr Unit kTimeUnits[] = {{"S", 1.0}, {"MS", 1e-3}, {"US", 1e-6}, {"NS", 1e-9}};
inline constexpr Unit kPowerUnits[] = {{"DBM", 1.0}};
inline constexpr Unit kVoltageUnits[] = {{"V", 1.0}, {"MV", 1e-3}, {"UV", 1e-6}};
inline constexpr Unit kMillisecondUnits[] = {{"MS", 1.0}, {"S", 1e3}};

// A number in the base unit: a number without a suffix is in the base unit, one with a suffix outside
// units gives -131.
template <size_t N>
double toNumber(const Parameter& p, const Unit (&units)[N]);
double toNumber(const Parameter& p);
// An integer (a number rounded to the nearest), without a unit.
int64_t toInteger(const Parameter& p);
// The same within the range of int; -222 outside it.
int toInt(const Parameter& p);
// ON, OFF, or a number (non-zero is true).
bool toBoolean(const Parameter& p);
// The index of the word among choices written in SCPI notation ("SINGle", "CONTinuous"); -141 if none.
size_t toChoice(const Parameter& p, std::initializer_list<std::string_view> choices);
const std::string& toText(const Parameter& p);
std::string_view toBlock(const Parameter& p);

std::string formatReal(double value);
std::string formatInteger(int64_t value);
std::string formatBoolean(bool value);
// A string response: in double quotes, inner double quotes doubled.
std::string formatString(std::string_view text);
// A definite-length block: '#', the digit count, the length, the bytes.
std::string formatBlock(std::string_view bytes);

double scaledNumber(const Parameter& p, const Unit* units, size_t count);

template <size_t N>
double toNumber(const Parameter& p, const Unit (&units)[N]) {
  return scaledNumber(p, units, N);
}

}  // namespace tevra::sim::scpi
