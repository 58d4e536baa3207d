// The main window: a captionless dialog (template 102) whose procedure drives
// the program: start-up and shut-down, the one-second tick, graph events,
// power and session notices, mouse, keys and command texts.
#pragma once

#include "app/core/main_window_handle.h"

#include <windows.h>

namespace vistrel {

inline constexpr int kMainWindowTemplate = 102;
inline constexpr int kProgramIcon = 105;
inline constexpr int kSkinResource = 103;
inline constexpr int kSkinResourceType = 101;
// WM_COMMAND identifier of the record command.
inline constexpr int kRecordCommand = 109;

INT_PTR CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vistrel
