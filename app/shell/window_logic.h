// Decisions of the main window and the window placement that need no window:
// the restart countdown, reactions to graph and power events, the drag test
// and the aspect lock. Portable: no Windows calls.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/shell/restart_countdown.h"

namespace vistrel {

// "Halvorix - Vistrel <n>": the title by which other programs find copy n.
std::string WindowTitleFor(int32_t instanceNumber);

// Graph event codes the main window reacts to.
inline constexpr long kEventErrorAbort = 3;     // EC_ERRORABORT
inline constexpr long kEventDeviceLost = 0x1F;  // EC_DEVICE_LOST

struct GraphEventReaction {
    bool restart = false;  // stop recording and arm the countdown
    RestartAction action = RestartAction::kRecord;
    bool stopTaking = false;  // take no further events in this round
};

// An abort restarts what was running; a removed device (second parameter 0)
// restarts only when it is the graph's video capture filter.
GraphEventReaction ReactToGraphEvent(long code, intptr_t param2, bool lostDeviceIsVideoCapture,
                                     bool recording);

enum class PowerEventKind { kNone, kSuspend, kResume };

// Queries and suspends stop everything; a refused query or a resume starts it
// again; critical resumes and unknown codes change nothing.
PowerEventKind ClassifyPowerEvent(uintptr_t code);

// A press in the upper half of the picture drags the captionless window.
bool StartsWindowDrag(bool topLevel, bool mouseDown, bool fullScreenActive, int16_t clientY,
                      int32_t storedHeight);

// The pause before opening devices, so copies started together do not open
// their cameras at once: 100 ms per instance number above 1, at most 10 s.
uint32_t StartupDelayMs(int32_t instanceNumber);

struct EdgeRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const EdgeRect&) const = default;
};

// WMSZ_ codes of the border being dragged.
enum : int {
    kSizeLeft = 1,
    kSizeRight = 2,
    kSizeTop = 3,
    kSizeTopLeft = 4,
    kSizeTopRight = 5,
    kSizeBottom = 6,
    kSizeBottomLeft = 7,
    kSizeBottomRight = 8,
};

// Keeps the client area of a sizing rectangle at the video's ratio. frameWidth
// and frameHeight are outer minus client size; a video size of 0 changes
// nothing.
void ConstrainAspectRect(EdgeRect& r, int edge, int32_t frameWidth, int32_t frameHeight,
                         int32_t videoWidth, int32_t videoHeight);

// Window style bits: caption, system menu and sizing border go in full screen.
inline constexpr uint32_t kFullScreenStyleMask = 0xFF33FFFFu;
inline constexpr uint32_t kSizingBorderStyle = 0x00040000u;  // WS_THICKFRAME

}  // namespace vistrel
