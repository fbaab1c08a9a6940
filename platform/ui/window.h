// The window system as far as the driver needs it: whether a display can be reached, and which window has
// the keyboard focus.
#pragma once

#include <cstdint>
#include <functional>

namespace tevra::platform {

// The window that has the keyboard focus, 0 when there is none or no window system is known to the driver.
// It is 0 until the driver's window system names a source.
int32_t GetForegroundWindow();

using CursorHandle = intptr_t;
inline constexpr int32_t kIdcWait = 32514;

// The system cursor with the given id; 0 when there is no window system.
CursorHandle LoadCursor(int32_t id);
// Shows cursor and returns the one shown before (0 for none).
CursorHandle SetCursor(CursorHandle cursor);

// The driver's window system names where the focus window comes from; an empty function forgets it.
void SetForegroundWindowSource(std::function<int32_t()> source);

// True when a window system is reachable for the named Qt platform plugin (QT_QPA_PLATFORM; empty means the
// default, X11): "offscreen" and "minimal" always are; X11 only when the X server named by DISPLAY accepts a
// connection; Wayland when WAYLAND_DISPLAY is set. Opening windows elsewhere would end the process.
// A reachable X server stays connected until ReleaseDisplayProbe(), to be called once the window system has
// a connection of its own.
bool DisplayAvailable();
void ReleaseDisplayProbe();

}  // namespace tevra::platform
