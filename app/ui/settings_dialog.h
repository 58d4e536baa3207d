// The settings dialog (template 107), run modally by the main window and the
// control bar.
#pragma once

#include <windows.h>

namespace vistrel {

inline constexpr int kSettingsDialogTemplate = 107;

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vistrel
