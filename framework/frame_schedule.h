// When a live source's next frame is due: frames sit on a grid of slots of
// one frame period in stream time (slot n starts at n x period). A source that
// fell behind by more than a period skips to the slot the stream is in, and
// the skipped slots count as dropped. Portable: no windows.h.
#pragma once

#include <cstdint>

namespace dshow {

class FrameSchedule {
  public:
    // `period` in 100-ns units; values below 1 count as 1.
    explicit FrameSchedule(int64_t period);

    // The slot of the next frame, given the stream time now.
    int64_t NextSlot(int64_t now) const;
    // Marks `slot` as produced; later calls of NextSlot go past it.
    void Produced(int64_t slot);

    int64_t StartOf(int64_t slot) const { return slot * period_; }
    int64_t StopOf(int64_t slot) const { return (slot + 1) * period_; }
    int64_t period() const { return period_; }
    int64_t dropped() const { return dropped_; }
    int64_t produced() const { return produced_; }

  private:
    int64_t period_;
    int64_t next_ = 0;
    int64_t dropped_ = 0;
    int64_t produced_ = 0;
};

}  // namespace dshow
