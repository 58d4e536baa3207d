// Where segments begin and end, decided frame by frame from the frames' own
// times: a segment ends after the last frame whose time falls in it and the
// next begins with the next frame, so a 60 s segment at 30 fps holds 1800
// frames whatever the wall clock does. A switch needs the next file to be
// ready and, for a compressed stream, a key frame; until then the current
// segment goes on. Flush points come every `flush_interval` of frame time.
// Portable: no windows.h.
#pragma once

#include <cstdint>
#include <optional>

namespace avi {

struct SegmentClockOptions {
    int64_t length = 0;                 // 100-ns units; 0: no limit
    int64_t flush_interval = 5000000;   // 0.5 s
    int64_t key_frame_lead = 2000000;   // ask for a key frame this long before the end
    int64_t key_frame_wait = 20000000;  // switch without a key frame after this
};

enum class FrameAction {
    kDrop,          // no file to write into
    kAppend,        // into the current segment
    kStartSegment,  // the current one (if any) ends before this frame
};

struct FrameDecision {
    FrameAction action = FrameAction::kDrop;
    bool flush_after = false;        // make a flush point after this frame
    bool request_key_frame = false;  // ask the compressor for a key frame now
    bool overdue = false;            // the segment should have ended: no next file yet
};

class SegmentClock {
  public:
    explicit SegmentClock(SegmentClockOptions options = {}) : options_(options) {}

    void set_length(int64_t length) { options_.length = length < 0 ? 0 : length; }
    const SegmentClockOptions& options() const { return options_; }
    // Ends the current segment at the next frame (archive, a full index).
    void RequestEnd() { end_requested_ = true; }
    // A failed segment: the next frame needs a new one.
    void Abandon() {
        in_segment_ = false;
        due_since_.reset();
    }

    // `time` is the frame's stream time; `next_ready` whether a file for a
    // new segment is waiting.
    FrameDecision OnFrame(int64_t time, bool key, bool next_ready);
    // The graph stopped: the next frame starts afresh.
    void Reset();

    bool in_segment() const { return in_segment_; }
    int64_t segment_start() const { return segment_start_; }
    // When the current segment is due to end (0 without a limit).
    int64_t segment_end() const { return options_.length ? segment_start_ + options_.length : 0; }

  private:
    FrameDecision Start(int64_t time);

    SegmentClockOptions options_;
    bool in_segment_ = false;
    bool end_requested_ = false;
    bool key_requested_ = false;
    int64_t segment_start_ = 0;
    int64_t last_flush_ = 0;
    std::optional<int64_t> last_time_;
    int64_t last_interval_ = 0;
    std::optional<int64_t> due_since_;  // frame time the end became due
};

// How many bytes of an audio buffer stamped [start, stop) lie before
// `boundary`, in whole blocks.
uint32_t AudioBytesBefore(int64_t start, int64_t stop, uint32_t size, uint32_t block_align,
                          int64_t boundary);

}  // namespace avi
