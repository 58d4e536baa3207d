// Moves finished recordings into the archive folder on a thread of its own,
// so neither the window nor the stream waits for a copy to another volume.
// A file is never overwritten: a name the archive holds gets a serial. Across
// volumes the copy is flushed to disk before the source goes.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vistrel {

struct ArchiveMove {
    std::string source;         // full path of a finished recording (or its sidecar)
    std::string archiveFolder;  // created with its parents when missing
};

struct ArchiveMoveResult {
    std::string source;
    std::string target;       // empty when the move failed
    unsigned long error = 0;  // the system's error code of a failed move
};

class ArchiveMover {
  public:
    // `done` runs on the mover's thread after each move.
    explicit ArchiveMover(std::function<void(const ArchiveMoveResult&)> done);
    // Finishes the moves already queued, then ends the thread: a recording
    // half copied at exit would be neither here nor there.
    ~ArchiveMover();
    ArchiveMover(const ArchiveMover&) = delete;
    ArchiveMover& operator=(const ArchiveMover&) = delete;

    void Queue(std::vector<ArchiveMove> moves);
    // Sources queued or being moved, for the limits to leave alone.
    std::vector<std::string> Pending() const;

  private:
    void Run();

    std::function<void(const ArchiveMoveResult&)> done_;
    mutable std::mutex lock_;
    std::condition_variable wake_;
    std::deque<ArchiveMove> queue_;
    std::string moving_;
    bool ending_ = false;
    std::thread thread_;
};

// One move, on the calling thread: the file keeps its name in the archive
// folder, or gets the first free serial ("name_2.avi" …).
ArchiveMoveResult MoveToArchive(const ArchiveMove& move);

}  // namespace vistrel
