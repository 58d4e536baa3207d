// The drive's track beside a segment: a GPX 1.1 file (for map players) and
// an SRT subtitle file (which players show under the video by themselves),
// named like the segment with ".gpx" and ".srt". One point and one cue a
// second, from the shared GPS and OBD-II records; nothing is written while
// no program publishes. Both files are whole at every moment: the GPX's end
// is written after each point and overwritten by the next. Main window
// thread only.
#pragma once

#include <cstdint>
#include <string>

#include "common/win_handle.h"
#include "telemetry/records.h"

namespace vistrel {

class SegmentTrack {
  public:
    SegmentTrack() = default;
    SegmentTrack(const SegmentTrack&) = delete;
    SegmentTrack& operator=(const SegmentTrack&) = delete;
    ~SegmentTrack() { Close(); }

    // The segment (full path of its .avi) the next samples belong to; a new
    // one closes the files of the one before.
    void Follow(const std::string& segment);
    // One second of telemetry at `videoMs` into the segment. `gps` and `obd`
    // are null where no program publishes that record.
    void Sample(const telemetry::GpsSharedRecord* gps, const telemetry::ObdSharedRecord* obd,
                int64_t videoMs);
    void Close();

    const std::string& segment() const { return segment_; }

  private:
    bool OpenGpx();
    bool OpenSrt();

    std::string segment_;
    UniqueHandle gpx_;
    uint64_t gpxEnd_ = 0;  // where the end tags start, overwritten by the next point
    UniqueHandle srt_;
    int cues_ = 0;
    int64_t lastCueMs_ = -1;
};

// "<segment without .avi>.gpx" and ".srt".
std::string SidecarPath(const std::string& segment, const char* extension);

}  // namespace vistrel
