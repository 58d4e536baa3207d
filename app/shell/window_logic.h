// Decisions of the main window that need no window: reactions to graph and
// power events, the drag test and the start-up stagger. Portable: no Windows
// calls.
#pragma once

#include <cstdint>
#include <optional>

#include "app/core/restart_countdown.h"

namespace vistrel {

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

}  // namespace vistrel
