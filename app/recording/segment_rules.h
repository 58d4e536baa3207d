// Segment file names, the local-time second count and the path rules of the
// capture and archive folders. Portable: no Windows calls; the file system is
// asked through the `taken` callbacks.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/path_rules.h"

namespace vistrel {

// A local file time (100-ns units since 1601-01-01) as whole seconds.
int64_t LocalSecondsFromFileTime(uint64_t localFileTime);

// The end of a segment that starts at `start`: start + capSeconds, or 0 when
// segments have no time limit.
int64_t SegmentEndFor(int64_t start, uint32_t capSeconds);

// The tick's test: a limit is set and the current second is past it.
bool SegmentTimeIsUp(int64_t now, int64_t end);

// A segment ends before its file reaches 4 GiB, whatever its time limit: the
// files are OpenDML and may grow past 1 GiB, but a FAT32 card (common in car
// PCs) takes no file of 4 GiB. The margin covers two seconds of uncompressed
// 1080p between the tick that sees it and the switch.
inline constexpr uint64_t kSegmentByteLimit = (uint64_t{4} << 30) - (uint64_t{512} << 20);
inline bool SegmentSizeIsUp(uint64_t bytes) {
    return bytes >= kSegmentByteLimit;
}

// Seconds since the segment started, for the archive rule. No segment yet
// (start 0) counts as old; a clock that went back counts as 0.
uint32_t SegmentAge(int64_t now, int64_t start);

struct LocalDateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// "<prefix>.<year>-<MM>-<DD>.<hh>.<mm>.<ss>.avi"; a serial of 2 or more goes
// before the extension as "_<serial>", so the date and time keep their place
// and the name still sorts after the first one of that second.
std::string SegmentFileName(std::string_view prefix, const LocalDateTime& t, int serial = 1);

// The plain name when it is free, else the first free one with a serial.
// Nothing when no name fits kMaxPathChars or every serial is taken.
std::optional<std::string> ChooseSegmentFileName(
    std::string_view prefix, const LocalDateTime& t,
    const std::function<bool(const std::string&)>& taken);

// "<stem>_<serial><ext>" for a path whose file name is taken; the extension is
// what follows the last dot of the file name.
std::string SerialFileName(std::string_view path, int serial);

// The folder of a path: the text before its last backslash, keeping a root
// ("C:\", "\") whole. "C:\Video\Capture" gives "C:\Video"; "Capture" gives "".
std::string RemoveFileSpec(std::string_view path);

// Folder and name with exactly one backslash between them.
std::string JoinPath(std::string_view folder, std::string_view name);

// The folders CreateFolderPath makes, in order: the text before every
// backslash when it is longer than two characters (so a bare "C:" is left
// out). The last component is never included.
std::vector<std::string> FolderPrefixes(std::string_view path);

// True for a segment this recorder writes for the capture stem `stem` (the
// file-name part of the capture path): "<stem>.<year>-<MM>-<DD>.<hh>.<mm>.<ss>"
// with an optional "_<serial>", then `extension` (".avi", or a track file's
// ".gpx", ".srt"); letters in any case, as the file system compares them.
// Another program's video, another stem's (another instance's) are not.
bool IsOwnSegmentName(std::string_view name, std::string_view stem,
                      std::string_view extension = ".avi");

}  // namespace vistrel
