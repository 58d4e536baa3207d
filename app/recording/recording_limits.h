// Which recordings the capture folder keeps: the list of AVI files, sorted by
// age, and the choice of what the archive step moves and what the file-count
// and size limits delete. Portable: the folder walk that fills the list and
// the moves and deletes are done by the caller.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vistrel {

struct RecordingFile {
    std::string name;        // file name without folder
    uint64_t lastWrite = 0;  // file time, 100-ns units
    uint64_t size = 0;       // bytes
    bool kept = false;       // counted by the limits, never chosen or deleted
};

// Collects the listing of the capture folder: every recording counts, however
// many the folder holds.
class RecordingListing {
  public:
    void Add(RecordingFile file);
    size_t size() const { return files_.size(); }
    // The kept entries, oldest first by whole seconds of their last write;
    // entries of the same second stay in listing order.
    std::vector<RecordingFile> TakeOldestFirst();

  private:
    struct Entry {
        RecordingFile file;
        int64_t second;
        uint64_t order;
    };
    std::vector<Entry> files_;
    uint64_t next_order_ = 0;
};

struct LimitPlan {
    std::vector<std::string> toArchive;  // newest first
    std::vector<std::string> toDelete;   // oldest first
};

// `files` oldest first. With `archive`, the newest file goes to the archive,
// and the one before it too when the current segment is younger than a minute
// (age below 60). Then, from the oldest on, files are deleted while the total
// in whole GiB is above gbLimit, and while more than fileLimit are left.
// A limit of 0 is no limit. A kept file (the segment being written) counts
// but is passed over.
LimitPlan PlanRecordingLimits(const std::vector<RecordingFile>& files, bool archive, uint32_t age,
                              uint32_t fileLimit, uint32_t gbLimit);

// The free-space floor: `files` oldest first, `freeBytes` on their disk. From
// the oldest on (passing over kept files and never taking the newest), the
// recordings to delete until the free space reaches `floorBytes`; `reached`
// is false when deleting all of them would not do.
struct FloorPlan {
    std::vector<std::string> toDelete;  // oldest first
    bool reached = true;
};
FloorPlan PlanFreeSpace(const std::vector<RecordingFile>& files, uint64_t freeBytes,
                        uint64_t floorBytes);

}  // namespace vistrel
