#include "app/ui/control_bar_logic.h"

#include <cstdio>

namespace vistrel {

BarRect ControlBarRect(int left, int top, int right, int bottom, bool hasCaption,
                       int captionHeight) {
    int c = hasCaption ? captionHeight : 4;
    return BarRect{left + 4, top + c + 3, (right - left) - 8, (bottom - top) - c - 8};
}

bool ControlPosition(int id, int width, int height, BarPoint* out) {
    BarPoint p;
    switch (id) {
        case kBarRecord:
            p = {4, 3};
            break;
        case kBarWindowFrame:
            p = {width - 244, 3};
            break;
        case kBarMinimise:
            p = {width - 192, 3};
            break;
        case kBarFullScreen:
            p = {width - 124, 3};
            break;
        case kBarExit:
            p = {width - 62, 3};
            break;
        case kBarArchive:
            p = {6, height - 60};
            break;
        case kBarSettings:
            p = {width / 2 - 16, height - 60};
            break;
        case kBarPreview:
            p = {width - 210, height - 62};
            break;
        case kBarTimeDisplay:
            p = {width - 120, height - 47};
            break;
        default:
            return false;
    }
    *out = p;
    return true;
}

int SkinCell(int id, bool recording) {
    switch (id) {
        case kBarSettings:
            return 0;
        case kBarMinimise:
            return 1;
        case kBarFullScreen:
            return 2;
        case kBarRecord:
            return recording ? 3 : 4;
        case kBarExit:
            return 5;
        case kBarArchive:
            return 6;
        case kBarWindowFrame:
            return 7;
        case kBarPreview:
            return 8;
        default:
            return -1;
    }
}

BarPoint SkinCellOrigin(int cell) {
    static constexpr BarPoint kOrigins[9] = {{15, 4},  {78, 0},  {156, 0}, {230, 0}, {310, 1},
                                             {392, 0}, {464, 0}, {540, 0}, {590, 0}};
    if (cell < 0 || cell > 8)
        return {};
    return kOrigins[cell];
}

uint32_t OpaqueArgb(uint32_t colourRef) {
    uint32_t red = colourRef & 0xFF, green = (colourRef >> 8) & 0xFF,
             blue = (colourRef >> 16) & 0xFF;
    return 0xFF000000u | (red << 16) | (green << 8) | blue;
}

FadeStep NextFadeStep(FadeDirection direction, uint8_t opacity) {
    if (direction == FadeDirection::kIn) {
        if (opacity > 200)
            return {FadeAction::kStopTimer, opacity};
        return {FadeAction::kApply, static_cast<uint8_t>(opacity + 10)};
    }
    if (opacity < 10)
        return {FadeAction::kDestroy, opacity};
    return {FadeAction::kApply, static_cast<uint8_t>(opacity - 10)};
}

uint32_t NextCapSeconds(uint32_t capSeconds) {
    if (capSeconds >= 1800 && capSeconds < 3600)
        return 3600;
    if (capSeconds >= 3600 && capSeconds < 5400)
        return 5400;
    if (capSeconds >= 5400 && capSeconds < 7200)
        return 7200;
    if (capSeconds >= 7200 && capSeconds < 10800)
        return 10800;
    return 1800;
}

TimeDisplayValues TimeDisplayFor(bool recording, int64_t now, int64_t segmentStart,
                                 int64_t segmentEnd, uint32_t capSeconds) {
    if (!recording)
        return {0, capSeconds};
    auto low = [](int64_t v) { return static_cast<uint32_t>(static_cast<uint64_t>(v)); };
    return {low(now) - low(segmentStart), low(segmentEnd) - low(segmentStart)};
}

std::string TimeDisplayText(uint32_t seconds) {
    char text[32];
    std::snprintf(text, sizeof(text), "%2u:%02u:%02u", seconds / 3600, (seconds / 60) % 60,
                  seconds % 60);
    return text;
}

uint32_t TimeDisplayTextColour(bool recording, uint32_t seconds) {
    if (!recording)
        return 0xFFFF00;                           // RGB(0, 255, 255)
    return (seconds % 2) ? 0xFFFFFFu : 0x1E1EFFu;  // white, RGB(255, 30, 30)
}

std::vector<int> ProgressColumns(bool recording, int innerRight, uint32_t seconds, uint32_t total) {
    std::vector<int> columns;
    if (!recording || total == 0 || innerRight <= 4)
        return columns;
    // In 64 bits and bounded by the box: a clock set back makes `seconds`
    // huge, and 32-bit products of it wrap to arbitrary widths.
    uint64_t width = static_cast<uint64_t>(innerRight - 4);
    uint64_t n = width * seconds / total;
    if (n > width)
        n = width;
    for (uint64_t i = 0; i < n; ++i) {
        if (i % 4 != 3)
            columns.push_back(static_cast<int>(i) + 3);
    }
    return columns;
}

bool RecordButtonState::Changed(bool recording) {
    if (recording == last_)
        return false;
    last_ = recording;
    return true;
}

}  // namespace vistrel
