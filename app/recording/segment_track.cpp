#include "app/recording/segment_track.h"

#include <windows.h>

#include "telemetry/track_text.h"

namespace vistrel {

namespace {

UniqueHandle CreateNew(const std::string& path) {
    // Others may read the file while it is written; a file of that name
    // (another program's) is never overwritten.
    return UniqueHandle(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool WriteAt(HANDLE file, uint64_t offset, const std::string& text) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD written = 0;
    return WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, &at) &&
           written == text.size();
}

bool Append(HANDLE file, const std::string& text) {
    LARGE_INTEGER end{};
    return GetFileSizeEx(file, &end) && WriteAt(file, static_cast<uint64_t>(end.QuadPart), text);
}

telemetry::FixTimeUtc UtcNow() {
    SYSTEMTIME t{};
    GetSystemTime(&t);
    return {t.wYear, t.wMonth,  t.wDayOfWeek, t.wDay,
            t.wHour, t.wMinute, t.wSecond,    t.wMilliseconds};
}

std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of('\\');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace

std::string SidecarPath(const std::string& segment, const char* extension) {
    size_t dot = segment.find_last_of('.');
    size_t slash = segment.find_last_of('\\');
    bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? segment.substr(0, dot) : segment) + extension;
}

void SegmentTrack::Follow(const std::string& segment) {
    if (segment == segment_)
        return;
    Close();
    segment_ = segment;
}

void SegmentTrack::Close() {
    gpx_.reset();
    srt_.reset();
    gpxEnd_ = 0;
    cues_ = 0;
    lastCueMs_ = -1;
    segment_.clear();
}

bool SegmentTrack::OpenGpx() {
    if (gpx_.valid())
        return true;
    gpx_ = CreateNew(SidecarPath(segment_, ".gpx"));
    if (!gpx_.valid())
        return false;
    std::string head = telemetry::GpxBegin(BaseName(segment_));
    gpxEnd_ = head.size();
    return WriteAt(gpx_.get(), 0, head + telemetry::GpxEnd());
}

bool SegmentTrack::OpenSrt() {
    if (!srt_.valid())
        srt_ = CreateNew(SidecarPath(segment_, ".srt"));
    return srt_.valid();
}

void SegmentTrack::Sample(const telemetry::GpsSharedRecord* gps,
                          const telemetry::ObdSharedRecord* obd, int64_t videoMs) {
    if (segment_.empty() || (!gps && !obd))
        return;
    if (gps) {
        telemetry::FixTimeUtc utc = telemetry::HasFixTime(*gps) ? gps->FixTime : UtcNow();
        std::string point = telemetry::GpxPoint(*gps, utc);
        // The point, then the end again: the file stays whole.
        if (!point.empty() && OpenGpx() &&
            WriteAt(gpx_.get(), gpxEnd_, point + telemetry::GpxEnd()))
            gpxEnd_ += point.size();
    }
    // One cue a second, from where the last one ended; after a stall (the
    // window busy, no frames) the cues catch up with the video.
    int64_t start = lastCueMs_ < 0 || videoMs > lastCueMs_ + 1500 ? videoMs : lastCueMs_;
    if (videoMs + 1000 < start || !OpenSrt())
        return;
    uint32_t pids = obd ? obd->RequestedPids : 0;
    std::string text = telemetry::SrtText(gps, obd, pids, obd != nullptr);
    int64_t end = start + 1000;
    if (!text.empty() && Append(srt_.get(), telemetry::SrtCue(cues_ + 1, start, end, text)))
        ++cues_;
    lastCueMs_ = end;
}

}  // namespace vistrel
