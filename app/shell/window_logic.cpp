#include "app/shell/window_logic.h"

#include <algorithm>

namespace vistrel {

GraphEventReaction ReactToGraphEvent(long code, intptr_t param2, bool lostDeviceIsVideoCapture,
                                     bool recording) {
    GraphEventReaction r;
    r.action = recording ? RestartAction::kRecord : RestartAction::kPreview;
    if (code == kEventErrorAbort) {
        r.restart = true;
    } else if (code == kEventDeviceLost && param2 == 0 && lostDeviceIsVideoCapture) {
        r.restart = true;
        r.stopTaking = true;
    }
    return r;
}

PowerEventKind ClassifyPowerEvent(uintptr_t code) {
    switch (code) {
        case 0:  // PBT_APMQUERYSUSPEND
        case 1:  // PBT_APMQUERYSTANDBY
        case 4:  // PBT_APMSUSPEND
        case 5:  // PBT_APMSTANDBY
            return PowerEventKind::kSuspend;
        case 2:  // PBT_APMQUERYSUSPENDFAILED
        case 3:  // PBT_APMQUERYSTANDBYFAILED
        case 7:  // PBT_APMRESUMESUSPEND
        case 8:  // PBT_APMRESUMESTANDBY
            return PowerEventKind::kResume;
        default:
            return PowerEventKind::kNone;
    }
}

bool StartsWindowDrag(bool topLevel, bool mouseDown, bool fullScreenActive, int16_t clientY,
                      int32_t storedHeight) {
    return topLevel && mouseDown && !fullScreenActive && clientY < storedHeight / 2;
}

uint32_t StartupDelayMs(int32_t instanceNumber) {
    if (instanceNumber <= 1)
        return 0;
    return static_cast<uint32_t>(std::min<int64_t>(int64_t{instanceNumber} * 100, 10000));
}

}  // namespace vistrel
