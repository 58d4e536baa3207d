// Start-up recovery: the recorder's own segments that were being written when
// the process ended without closing them (a crash, a kill, a power cut) are
// made whole before the first recording: header and index rebuilt from the
// frames present, a torn last frame cut, a file without a frame deleted.
#pragma once

#include <string>

namespace vistrel {

struct RecoveryCount {
    int repaired = 0;
    int deleted = 0;
    int failed = 0;
};

// Looks at the segments of the capture path prefix `capFilename` (its stem,
// then ".", ending in ".avi") that are still marked as being written. A file
// another process holds open for writing (another instance) is left alone.
RecoveryCount RecoverUnfinishedSegments(const std::string& capFilename);

}  // namespace vistrel
