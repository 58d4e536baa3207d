// Text forms of the telemetry for files kept beside a recording: GPX 1.1
// track points for map players, and SRT subtitle cues that any player shows
// under the video. Only text is made here; who writes the files, and when, is
// the recorder's business. Portable: no windows.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "telemetry/records.h"

namespace telemetry {

// True when the record carries a date and time of fix (the recorder's own
// publisher leaves it zero; the caller then uses its own UTC clock).
bool HasFixTime(const GpsSharedRecord& gps);

// The head of a GPX 1.1 file with one track of one segment named `name`.
std::string GpxBegin(std::string_view name);
// One <trkpt> at `utc`: position, elevation, fix type, satellites and
// dilutions, with speed (m/s) and course as a track point extension. Empty
// while the record has no valid fix or holds no real position.
std::string GpxPoint(const GpsSharedRecord& gps, const FixTimeUtc& utc);
// What closes the segment, the track and the file.
std::string GpxEnd();

// A GPX cut off while it was written: keep its first `keep` bytes (up to the
// end of the last whole point) and append `append`; one cut inside its head
// (or empty) is written anew. Nothing when the text does not begin as
// GpxBegin makes it, or is already closed.
struct GpxRepair {
    size_t keep;
    std::string append;
};
std::optional<GpxRepair> RepairGpx(std::string_view text);

// One SRT cue: its number (from 1), its start and end in milliseconds from
// the start of the video, and its text (lines separated by '\n').
std::string SrtCue(int number, int64_t startMs, int64_t endMs, std::string_view text);

// A cue's text for one second: the time of fix, speed, position and course
// while the fix is valid; the OBD-II values of `pids` (bit n: PID n, as in
// RequestedPids) and, with `trip`, the odometer, trip and fuel economy.
// Either record may be absent.
std::string SrtText(const GpsSharedRecord* gps, const ObdSharedRecord* obd, uint32_t pids,
                    bool trip);

}  // namespace telemetry
