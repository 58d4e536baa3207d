// The control bar's decisions, without Windows: where the bar and its buttons
// go, which skin cell a button shows, the fade steps, the time limit cycle and
// what the time display shows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vistrel {

// Control ids of the bar's template.
enum BarControl : int {
    kBarRecord = 109,
    kBarExit = 110,
    kBarTimeDisplay = 111,
    kBarArchive = 1001,
    kBarPreview = 1002,
    kBarFullScreen = 40005,
    kBarSettings = 40007,
    kBarMinimise = 40008,
    kBarWindowFrame = 40009,
};
inline constexpr int kBarControls[] = {kBarRecord,   kBarExit,     kBarTimeDisplay,
                                       kBarArchive,  kBarPreview,  kBarFullScreen,
                                       kBarSettings, kBarMinimise, kBarWindowFrame};

// Transparent colour of the bar, COLORREF 0x000001.
inline constexpr uint32_t kBarColourKey = 0x000001;

struct BarPoint {
    int x = 0;
    int y = 0;
};
struct BarRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The bar's screen rectangle over a main window with the given outer screen
// rectangle; `captionHeight` counts only when the window has a caption.
BarRect ControlBarRect(int left, int top, int right, int bottom, bool hasCaption,
                       int captionHeight);

// Where a control's top-left corner goes in a bar whose client area is
// width x height; false for an id that is not one of the bar's.
bool ControlPosition(int id, int width, int height, BarPoint* out);

// The skin cell (0 to 8) a button shows, or -1 (the time display, unknown ids).
int SkinCell(int id, bool recording);
// Top-left corner of a cell in the skin strip.
BarPoint SkinCellOrigin(int cell);
// 0xAARRGGBB of an opaque brush in a COLORREF's colour.
uint32_t OpaqueArgb(uint32_t colourRef);

// One tick of the fade timer.
enum class FadeDirection { kIn = 1, kOut = 2 };
enum class FadeAction { kApply, kStopTimer, kDestroy };
struct FadeStep {
    FadeAction action;
    uint8_t opacity;  // the opacity to apply (unchanged unless kApply)
};
inline constexpr uint8_t kFadeStartOpacity = 1;
FadeStep NextFadeStep(FadeDirection direction, uint8_t opacity);

// The time limit after a click on the time display: 30, 60, 90, 120, 180
// minutes, then 30 again.
uint32_t NextCapSeconds(uint32_t capSeconds);

// The two numbers the time display shows: elapsed seconds of the segment and
// its length while recording (end 0: no limit, a very large length), else 0
// and the configured limit. 32-bit unsigned, as the clock's low bits.
struct TimeDisplayValues {
    uint32_t seconds = 0;
    uint32_t total = 0;
};
TimeDisplayValues TimeDisplayFor(bool recording, int64_t now, int64_t segmentStart,
                                 int64_t segmentEnd, uint32_t capSeconds);

// " h:mm:ss" text (hours right-aligned in two columns).
std::string TimeDisplayText(uint32_t seconds);
// COLORREF of the text: blinking white / red while recording (white on odd
// seconds), cyan while idle.
uint32_t TimeDisplayTextColour(bool recording, uint32_t seconds);
// x of every lit progress column for an inner box ending at `innerRight`:
// the elapsed share of the limit in columns of three lit and one dark. Empty
// while idle or without a limit; never wider than the box.
std::vector<int> ProgressColumns(bool recording, int innerRight, uint32_t seconds, uint32_t total);

// Remembers the record state of the last refresh request, so a repeated state
// repaints nothing.
class RecordButtonState {
  public:
    // True when `recording` differs from the previous call (not recording
    // before the first); remembers it.
    bool Changed(bool recording);

  private:
    bool last_ = false;
};

}  // namespace vistrel
