// The main window's handle, for the parts that post to it or place windows
// in it (the capture graph, the property frames). Main window thread only.
#pragma once

#include <windows.h>

namespace vistrel {

// The capture graph posts its events to the main window with this message.
inline constexpr UINT kGraphNotifyMessage = WM_USER + 1;
// The recording's segment writer rings with this one when it has news
// (a segment closed, a file wanted, a write failed); the news wait in a queue.
inline constexpr UINT kSegmentNewsMessage = WM_USER + 3;

// Null before creation and after destruction.
HWND MainWindowHandle();
// Set by the main window at creation and cleared at destruction.
void SetMainWindowHandle(HWND window);

}  // namespace vistrel
