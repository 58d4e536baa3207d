// Segment files on disk: the local-time clock, the name of each new segment,
// the capture and archive folders, and the limits kept before every recording
// start. Runs on the main window's thread.
#pragma once

#include <cstdint>
#include <string>

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

// Moves one file from the capture folder into the archive folder, creating
// the archive folder first. A name the archive already holds gets a serial
// instead of being left behind. True when the file was moved.
bool MoveToArchive(const std::string& fileName);

// Lists the AVI files of the capture folder and, with `archive`, moves the
// newest (and, when `age` is below 60 seconds, the one before it) to the
// archive; then deletes the oldest beyond "GBLimit" and "FileLimit".
void EnforceRecordingLimits(bool archive, uint32_t age);

}  // namespace vistrel
