#include "avi/segment_clock.h"

namespace avi {

void SegmentClock::Reset() {
    in_segment_ = false;
    end_requested_ = false;
    key_requested_ = false;
    last_time_.reset();
    due_since_.reset();
}

FrameDecision SegmentClock::Start(int64_t time) {
    in_segment_ = true;
    end_requested_ = false;
    key_requested_ = false;
    due_since_.reset();
    segment_start_ = time;
    last_flush_ = time;
    FrameDecision d;
    d.action = FrameAction::kStartSegment;
    d.flush_after = true;  // the first frame is published at once
    return d;
}

FrameDecision SegmentClock::OnFrame(int64_t time, bool key, bool next_ready) {
    if (last_time_ && time < *last_time_) {
        // Stream time went back (a new run): the segment goes on as if this
        // frame followed the last one by the usual interval.
        int64_t shift = time - (*last_time_ + last_interval_);
        segment_start_ += shift;
        last_flush_ += shift;
        if (due_since_)
            *due_since_ += shift;
    } else if (last_time_ && time > *last_time_)
        last_interval_ = time - *last_time_;
    last_time_ = time;

    FrameDecision d;
    if (!in_segment_) {
        if (!due_since_)
            due_since_ = time;
        bool waited = time - *due_since_ >= options_.key_frame_wait;
        if (next_ready && (key || waited))
            return Start(time);
        d.request_key_frame = next_ready && !key && !key_requested_;
        key_requested_ = key_requested_ || d.request_key_frame;
        d.overdue = !next_ready;
        return d;
    }

    // A frame counts to the next segment once most of it lies past the end:
    // a camera's period is the second divided by its rate rounded down
    // (333333 for 30 fps), so whole seconds hold whole frames.
    bool due = end_requested_ || (options_.length > 0 &&
                                  time + last_interval_ / 2 >= segment_start_ + options_.length);
    if (due) {
        if (!due_since_)
            due_since_ = time;
        bool waited = time - *due_since_ >= options_.key_frame_wait;
        if (next_ready && (key || waited))
            return Start(time);
        d.overdue = !next_ready;
        d.request_key_frame = !key && !key_requested_;
    } else if (options_.length > 0 && !key_requested_ &&
               time >= segment_start_ + options_.length - options_.key_frame_lead) {
        d.request_key_frame = true;
    }
    key_requested_ = key_requested_ || d.request_key_frame;
    d.action = FrameAction::kAppend;
    if (time - last_flush_ >= options_.flush_interval) {
        d.flush_after = true;
        last_flush_ = time;
    }
    return d;
}

uint32_t AudioBytesBefore(int64_t start, int64_t stop, uint32_t size, uint32_t block_align,
                          int64_t boundary) {
    if (boundary <= start || block_align == 0)
        return 0;
    if (boundary >= stop || stop <= start)
        return size;
    uint64_t bytes =
        static_cast<uint64_t>(boundary - start) * size / static_cast<uint64_t>(stop - start);
    return static_cast<uint32_t>(bytes / block_align * block_align);
}

}  // namespace avi
