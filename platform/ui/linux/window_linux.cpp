#include <xcb/xcb.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <utility>

#include "platform/ui/window.h"

namespace tevra::platform {
namespace {

std::mutex& sourceMutex() {
  static std::mutex m;
  return m;
}

std::function<int32_t()>& foregroundSource() {
  static std::function<int32_t()> source;
  return source;
}

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// The probe's connection while it is held (see ReleaseDisplayProbe).
std::mutex& probeMutex() {
  static std::mutex m;
  return m;
}
xcb_connection_t* g_probe = nullptr;

// The X server exists and lets this process in. The connection stays open: an X server resets when its
// last client leaves (Xvfb does), and would refuse the window system's own connection during the reset.
bool xServerAccepts(const std::string& display) {
  if (display.empty()) return false;
  std::lock_guard<std::mutex> lock(probeMutex());
  xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
  if (connection == nullptr || xcb_connection_has_error(connection) != 0) {
    if (connection != nullptr) xcb_disconnect(connection);
    return false;
  }
  if (g_probe != nullptr) xcb_disconnect(g_probe);
  g_probe = connection;
  return true;
}

}  // namespace

int32_t GetForegroundWindow() {
  std::function<int32_t()> source;
  {
    std::lock_guard<std::mutex> lock(sourceMutex());
    source = foregroundSource();
  }
  return source ? source() : 0;
}

void SetForegroundWindowSource(std::function<int32_t()> source) {
  std::lock_guard<std::mutex> lock(sourceMutex());
  foregroundSource() = std::move(source);
}

bool DisplayAvailable() {
  std::string plugin = environment("QT_QPA_PLATFORM");
  plugin = plugin.substr(0, plugin.find(':'));
  if (plugin == "offscreen" || plugin == "minimal") return true;
  if (plugin.empty() || plugin == "xcb") return xServerAccepts(environment("DISPLAY"));
  if (plugin.rfind("wayland", 0) == 0) return !environment("WAYLAND_DISPLAY").empty();
  // Other plugins (a framebuffer, VNC) need no display server of their own.
  return true;
}

void ReleaseDisplayProbe() {
  std::lock_guard<std::mutex> lock(probeMutex());
  if (g_probe != nullptr) xcb_disconnect(g_probe);
  g_probe = nullptr;
}

// Without a display there is no cursor to show; the wait cursor of a long call has nothing to change.
CursorHandle LoadCursor(int32_t /*id*/) {
  return 0;
}
CursorHandle SetCursor(CursorHandle /*cursor*/) {
  return 0;
}

}  // namespace tevra::platform
