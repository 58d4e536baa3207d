#include "app/shell/window_logic.h"

#include <algorithm>
#include <climits>
#include <cstdio>

namespace vistrel {

std::string WindowTitleFor(int32_t instanceNumber) {
    char title[48];
    std::snprintf(title, sizeof(title), "Halvorix - Vistrel %d", static_cast<int>(instanceNumber));
    return title;
}

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

namespace {

int32_t Saturate(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT_MIN, INT_MAX));
}

}  // namespace

void ConstrainAspectRect(EdgeRect& r, int edge, int32_t frameWidth, int32_t frameHeight,
                         int32_t videoWidth, int32_t videoHeight) {
    if (videoWidth == 0 || videoHeight == 0)
        return;
    // 64-bit products: a huge rectangle or video size must not overflow.
    int64_t widthForHeight = (int64_t{r.bottom} - r.top - frameHeight) * videoWidth / videoHeight;
    int64_t heightForWidth = (int64_t{r.right} - r.left - frameWidth) * videoHeight / videoWidth;
    int32_t right = Saturate(int64_t{r.left} + widthForHeight + frameWidth);
    int32_t bottom = Saturate(int64_t{r.top} + heightForWidth + frameHeight);
    switch (edge) {
        case kSizeLeft:
        case kSizeRight:
            r.bottom = bottom;
            break;
        case kSizeTop:
        case kSizeTopRight:
        case kSizeBottom:
        case kSizeBottomRight:
            r.right = right;
            break;
        case kSizeTopLeft:
        case kSizeBottomLeft:
            if (r.right != right) {
                r.right = right;
            } else {
                r.bottom = bottom;
            }
            break;
        default:
            break;
    }
}

}  // namespace vistrel
