#include "src/session/property_handlers.h"

#include "src/log/driver_logs.h"

namespace tevra::core::property {
namespace {

constexpr int32_t kHighestWindowType = 3;

}  // namespace

std::optional<int32_t> codeUpTo(int32_t highest, double value) {
  const auto code = truncateTo<int32_t>(value);
  if (!code || *code < 0 || *code > highest) return std::nullopt;
  return code;
}

bool setTriggerStyle(int32_t position, double value) {
  const auto callerCode = truncateTo<int32_t>(value);
  if (!callerCode) return false;
  const int32_t serverCode = triggerStyleToServer(*callerCode);
  if (server::instrument().held()) sendToServer<ServerOp::put_TriggerStyle>(position, serverCode);
  settings().held.triggerStyle = serverCode;
  markChanged(kChangeTriggerStyle);
  return true;
}

std::optional<double> getTriggerStyle(int32_t position) {
  const int32_t serverCode = server::instrument().held()
                                 ? readFromServer<ServerOp::get_TriggerStyle>(position)
                                 : settings().held.triggerStyle;
  return triggerStyleFromServer(serverCode);
}

bool setWindowType(int32_t position, double value) {
  const auto windowType = codeUpTo(kHighestWindowType, value);
  if (!windowType) return false;
  sendToServer<ServerOp::put_WindowType>(position, *windowType);
  settings().held.windowType = *windowType;
  markChanged(kChangeWindowType);
  return true;
}

std::optional<double> getWindowType(int32_t position) {
  const int32_t windowType = readFromServer<ServerOp::get_WindowType>(position);
  if (windowType < 0 || windowType > kHighestWindowType) return std::nullopt;
  return windowType;
}

bool setDebugOutput(int32_t, double value) {
  const auto number = truncateTo<int32_t>(value);
  if (!number) return false;
  log::debugOutputSwitch().store(*number, std::memory_order_relaxed);
  return true;
}

bool acceptWithoutEffect(int32_t, double) {
  return true;
}

}  // namespace tevra::core::property
