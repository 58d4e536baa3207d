// The main window's handle, for the parts that post to it or place windows
// in it (the capture graph, the property frames). Main window thread only.
#pragma once

#include <windows.h>

namespace vistrel {

// The capture graph posts its events to the main window with this message.
inline constexpr UINT kGraphNotifyMessage = WM_USER + 1;

// Null before creation and after destruction.
HWND MainWindowHandle();
// Set by the main window at creation and cleared at destruction.
void SetMainWindowHandle(HWND window);

}  // namespace vistrel
