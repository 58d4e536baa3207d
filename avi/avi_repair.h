// Makes an AVI file whole from the chunks it holds: the header and the index
// rebuilt from the frames present, a torn last chunk cut, damaged bytes
// between chunks turned into JUNK, and the marker set to closed. It keeps
// every complete frame where it is and adds only the index chunks the file
// lacks, so the file never grows by more than its index. A file with a
// header of zeros (a crash of an older recorder) needs the formats from
// elsewhere. Portable: no windows.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "avi/file_io.h"
#include "avi/stream_format.h"

namespace avi {

struct RepairOptions {
    // The formats when the file's header has none (--like, --format).
    std::optional<StreamFormats> formats;
    // Only report what would be done.
    bool dry_run = false;
};

enum class RepairOutcome {
    kAlreadyWhole,
    kRepaired,
    kNoFrames,    // an AVI without a complete frame: the caller deletes it
    kNeedFormat,  // the header is unusable and no formats were given
    kNotAvi,      // nothing in it looks like an AVI: left alone
    kNoRoom,      // the space before the first frame cannot hold a header
    kIoError,
};

struct RepairReport {
    RepairOutcome outcome = RepairOutcome::kIoError;
    uint64_t frames = 0;  // video frames in the file afterwards
    uint64_t audio_chunks = 0;
    uint64_t bytes_cut = 0;      // torn or trailing bytes removed from the end
    uint64_t bytes_added = 0;    // index chunks appended
    uint64_t damaged_bytes = 0;  // bytes between chunks turned into JUNK
    uint64_t size_before = 0;
    uint64_t size_after = 0;
    bool header_rebuilt = false;
    IoResult io;
};

RepairReport Repair(RandomAccessFile& file, const RepairOptions& options);

const char* OutcomeText(RepairOutcome outcome);

}  // namespace avi
