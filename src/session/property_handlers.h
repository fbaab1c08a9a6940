// What Tevra_SetProperty and Tevra_GetProperty do for each kind of property: a setting the driver holds
// and pushes to the server, a setting of the server alone (with its unit conversion), or a driver switch.
// The property table picks one setter and one getter per name.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "src/core/error_state.h"
#include "src/core/settings.h"
#include "src/server/instrument.h"

namespace tevra::core::property {

using server::ServerOp;

// Sets the property to value; false when the value is not valid for it (then nothing is sent or stored).
// position is the call site's number, stored before the server call. Server failures raise _com_error.
using Setter = bool (*)(int32_t position, double value);
// Reads the property; nullopt when it has no value to give (the result is then 0, the output unchanged).
using Getter = std::optional<double> (*)(int32_t position);

// Factors between the unit of a property's name and the server's unit. The factors back are the exact
// ones the interface promises (times 0.000001, not divided by 1000000).
struct Unit {
  double toServer;
  double fromServer;
};
inline constexpr Unit kSameUnit{1.0, 1.0};
inline constexpr Unit kMegahertz{1000000.0, 0.000001};
inline constexpr Unit kMillivolt{0.001, 1000.0};
inline constexpr Unit kKilohertz{1000.0, 0.001};

// A number given for an integer, truncated toward zero and held to the integer's range, so that 1e300 or
// -inf cannot overflow; nullopt for NaN, which names no integer at all.
template <class Int>
std::optional<Int> truncateTo(double value) {
  if (std::isnan(value)) return std::nullopt;
  constexpr Int lowest = std::numeric_limits<Int>::min();
  constexpr Int highest = std::numeric_limits<Int>::max();
  if (value <= static_cast<double>(lowest)) return lowest;
  if (value >= static_cast<double>(highest)) return highest;
  return static_cast<Int>(value);
}

// The truncated value when it lies in 0..highest, the codes a coded setting knows.
std::optional<int32_t> codeUpTo(int32_t highest, double value);

template <ServerOp op, class T>
void sendToServer(int32_t position, T value) {
  setPosition(position);
  server::instrument().call<op>(value);
}

template <ServerOp op>
auto readFromServer(int32_t position) {
  setPosition(position);
  return server::instrument().call<op>();
}

// The values the instrument takes for a held setting, in the property's own unit.
struct Range {
  double lowest;
  double highest;
};
inline constexpr Range kCenterFrequencyMHz{1.0, 6000.0};
inline constexpr Range kPowerRangeDbm{-50.0, 30.0};
inline constexpr Range kPacketLengthS{0.000001, 0.1};
inline constexpr Range kTriggerLevelMV{0.0, 10000.0};
inline constexpr Range kTriggerDelayS{-0.1, 0.1};
inline constexpr Range kTriggerHoldoffS{0.0, 1.0};

// A held analyzer setting: refused outside its range (NaN and infinities included) whether a session is open
// or not, since it is sent to every later session; sent first while a session is open, so that a value the
// server refuses is not kept.
template <double HeldSettings::*field, ChangeBit bit, ServerOp put, const Unit& unit, const Range& range>
bool setHeld(int32_t position, double value) {
  if (!(value >= range.lowest && value <= range.highest)) return false;
  if (server::instrument().held()) sendToServer<put>(position, value * unit.toServer);
  settings().held.*field = value;
  markChanged(bit);
  return true;
}

template <double HeldSettings::*field, ServerOp get, const Unit& unit>
std::optional<double> getHeld(int32_t position) {
  if (!server::instrument().held()) return settings().held.*field;
  return readFromServer<get>(position) * unit.fromServer;
}

// A server boolean travels as the truncated 16-bit number itself.
template <ServerOp put>
bool setBoolean(int32_t position, double value) {
  const auto flag = truncateTo<int16_t>(value);
  if (!flag) return false;
  sendToServer<put>(position, *flag);
  return true;
}

template <ServerOp put>
bool setNonZeroAsTrue(int32_t position, double value) {
  const auto number = truncateTo<int32_t>(value);
  if (!number) return false;
  sendToServer<put>(position, static_cast<server::VARIANT_BOOL>(*number != 0 ? 1 : 0));
  return true;
}

template <ServerOp put>
bool setInteger(int32_t position, double value) {
  const auto number = truncateTo<int32_t>(value);
  if (!number) return false;
  sendToServer<put>(position, *number);
  return true;
}

template <ServerOp put, int32_t highest>
bool setCode(int32_t position, double value) {
  const auto code = codeUpTo(highest, value);
  if (!code) return false;
  sendToServer<put>(position, *code);
  return true;
}

// Code 1 selects the setting's one alternative; every other number its default 0.
template <ServerOp put>
bool setOneOrZero(int32_t position, double value) {
  const auto number = truncateTo<int32_t>(value);
  if (!number) return false;
  sendToServer<put>(position, int32_t{*number == 1 ? 1 : 0});
  return true;
}

template <ServerOp put, const Unit& unit = kSameUnit>
bool setDouble(int32_t position, double value) {
  sendToServer<put>(position, value * unit.toServer);
  return true;
}

// Any server number, a boolean as its 16-bit value (true reported as -1 gives -1.0).
template <ServerOp get, const Unit& unit = kSameUnit>
std::optional<double> getNumber(int32_t position) {
  return static_cast<double>(readFromServer<get>(position)) * unit.fromServer;
}

template <ServerOp get>
std::optional<double> getOneOrZero(int32_t position) {
  return readFromServer<get>(position) == 1 ? 1.0 : 0.0;
}

template <int32_t DriverSwitches::*field>
bool setSwitch(int32_t, double value) {
  const auto number = truncateTo<int32_t>(value);
  if (!number) return false;
  settings().switches.*field = *number;
  return true;
}

template <int32_t DriverSwitches::*field>
std::optional<double> getSwitch(int32_t) {
  return settings().switches.*field;
}

bool setTriggerStyle(int32_t position, double value);
std::optional<double> getTriggerStyle(int32_t position);
// The window type is never only held: it always goes to the server, and is kept after the server took it.
bool setWindowType(int32_t position, double value);
std::optional<double> getWindowType(int32_t position);
bool setDebugOutput(int32_t position, double value);
// A name that is accepted (result 1) and changes nothing.
bool acceptWithoutEffect(int32_t position, double value);

}  // namespace tevra::core::property
