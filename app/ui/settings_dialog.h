// The settings dialog (template 107), run modally by the main window.
#pragma once

#include <windows.h>

namespace vistrel {

inline constexpr int kSettingsDialogTemplate = 107;
// The dialog's result when a changed setting needs the capture graph built
// again (device, input, format, codec, overlay …); else 0.
inline constexpr INT_PTR kSettingsNeedNewGraph = 1;

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vistrel
