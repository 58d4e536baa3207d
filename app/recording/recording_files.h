// Segment files on disk: the local-time clock, the name of each new segment,
// the capture and archive folders, and the limits kept before every recording
// start. Runs on the main window's thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vistrel {

// Local time in whole seconds since 1601-01-01.
int64_t LocalSeconds();

// The current or last segment's start and end (0: no time limit); both 0
// until a segment has started in this run.
int64_t SegmentStartTime();
int64_t SegmentEndTime();
// Called when a segment has started: start = now, end = start + capSeconds
// (or 0 without a limit).
void BeginSegmentClock(uint32_t capSeconds);

struct SegmentPath {
    std::string path;   // system code page, at most 259 characters
    std::wstring wide;  // the same path in UTF-16, for the graph's file writer
};

// The next segment's full path from the capture path prefix and the local
// date and time. A name already present on disk (or handed out last time) gets
// a serial, so a segment never overwrites another. False when no name fits.
bool MakeSegmentFileName(SegmentPath& out);

// Creates every folder on `path` except its last component; failures (such as
// an existing folder) are ignored.
void CreateFolderPath(const std::string& path);

// Lists the AVI files of the capture folder, leaving out the full paths in
// `leave` (recordings on their way to the archive); `kept` (the segment
// about to end) counts but is never chosen or deleted. With `archive`,
// chooses the newest (and, when `age` is below 60 seconds, the one before
// it) for the archive and returns their full paths for the caller to move;
// then deletes the oldest of the rest beyond "GBLimit" and "FileLimit".
std::vector<std::string> EnforceRecordingLimits(bool archive, uint32_t age,
                                                const std::vector<std::string>& leave = {},
                                                const std::string& kept = {});

// The track files a segment may have beside it.
inline constexpr const char* kSidecarExtensions[] = {".gpx", ".srt"};
// Deletes a segment and its track files; true when the segment went.
bool DeleteRecording(const std::string& segment);
// The segments (full paths) with the track files each has, for a move.
std::vector<std::string> WithSidecars(const std::vector<std::string>& segments);

// The free-space floor ("MinFreeGB", 0: none): the oldest recordings not in
// `leave` go until the capture folder's disk has that much free; `kept` (the
// segment being written) counts but stays, and so does the newest recording.
// False when the floor cannot be kept that way.
bool KeepFreeSpaceFloor(const std::vector<std::string>& leave, const std::string& kept = {});

// A full disk with a limit set: the oldest recording not in `leave` (full
// paths) goes, to make room for the next segment. Its path, or empty when
// there was none to delete.
std::string DeleteOldestRecording(const std::vector<std::string>& leave);

}  // namespace vistrel
