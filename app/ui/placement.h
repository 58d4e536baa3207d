// Where the main window is: its remembered place, full screen on its own
// monitor and back, always on top, and the aspect lock while sizing.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vistrel {

enum class FullScreenMode { kToggle, kOn, kOff };

// True while the top-level window is laid out over a whole monitor.
bool FullScreenActive();

// Changes gVidFlags bit 4 and applies it; returns the resulting bit.
bool SetFullScreen(FullScreenMode mode);
void ApplyFullScreen(HWND window, HWND bar, bool on);
// Moves (and sizes) the main window to the stored WindowPosition. With force
// only the size and a changed frame style are applied, also when embedded.
void RestoreWindowPosition(bool force);
void ApplyAlwaysOnTop(bool on);
// Changes the sizing rectangle in place so the client area keeps the video's
// ratio; `edge` is the WMSZ_ code of the dragged border.
void ConstrainAspect(HWND window, RECT* sizing, int edge, int32_t videoWidth, int32_t videoHeight);

// Top-level (its parent is the desktop) rather than embedded in another
// program's window.
bool IsTopLevelWindow(HWND window);
// Stores the window's outer rectangle as WindowPosition.
void StoreWindowPosition(HWND window);

}  // namespace vistrel
