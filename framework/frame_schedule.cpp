#include "framework/frame_schedule.h"

namespace dshow {

FrameSchedule::FrameSchedule(int64_t period) : period_(period < 1 ? 1 : period) {}

int64_t FrameSchedule::NextSlot(int64_t now) const {
    if (now < 0 || now < StopOf(next_))
        return next_;
    return now / period_;  // behind: the slot the stream is in now
}

void FrameSchedule::Produced(int64_t slot) {
    if (slot < next_)
        return;
    dropped_ += slot - next_;
    ++produced_;
    next_ = slot + 1;
}

}  // namespace dshow
