// The process's instance number, by which each running copy has its own
// window title, registry key and overlay text block, and the start-up
// preview override of the command line.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vistrel {

// The module of the program, kept for loading resources.
HINSTANCE ProgramInstance();
void SetProgramInstance(HINSTANCE instance);

// 0 until given on the command line or chosen; at least 1 once the main
// window exists, and fixed from then on.
int32_t InstanceNumber();
void SetInstanceNumber(int32_t number);

// kPreviewOverrideNone, kPreviewOverrideOn or kPreviewOverrideOff; applied
// once when the main window is created.
uint8_t PreviewOverride();
void SetPreviewOverride(uint8_t value);

// True when a top-level window titled "Halvorix - Vistrel <n>" exists.
bool InstanceWindowExists(int32_t number);

// Settles the instance number (the given one, or 1 when none was given, moved
// up past every number in use) and sets the main window's title.
void ChooseInstanceNumber(HWND mainWindow);

// Lets lower-integrity programs send the main window its private messages and
// command texts, where the system filters them.
void OpenMessageFilter(HWND mainWindow);

}  // namespace vistrel
