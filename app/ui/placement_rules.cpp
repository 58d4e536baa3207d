#include "app/ui/placement_rules.h"

#include <algorithm>
#include <climits>

namespace vistrel {

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
