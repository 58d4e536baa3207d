// A RandomAccessFile in memory for tests and fuzzing: it can refuse to grow
// past a quota (a full disk) and keeps a log of every write and flush, so a
// test can rebuild the file as a crash at any moment would have left it.
// Portable: no windows.h.
#pragma once

#include <mutex>
#include <optional>
#include <vector>

#include "avi/file_io.h"

namespace avi {

class MemoryFile final : public RandomAccessFile {
  public:
    struct Event {
        enum Kind { kWrite, kTruncate, kFlush } kind = kWrite;
        uint64_t offset = 0;  // write offset, or the new size of a truncation
        std::vector<uint8_t> bytes;
    };

    MemoryFile() = default;
    explicit MemoryFile(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

    IoResult WriteAt(uint64_t offset, const uint8_t* data, size_t size) override;
    IoResult ReadAt(uint64_t offset, uint8_t* data, size_t size, size_t* done) override;
    IoResult Size(uint64_t* size) override;
    IoResult Truncate(uint64_t size) override;
    IoResult Flush() override;

    // Writes that would make the file larger than this fail as a full disk
    // (after writing what fits, as a real disk does).
    void set_quota(std::optional<uint64_t> quota);
    void set_logging(bool on);

    std::vector<uint8_t> bytes() const;
    std::vector<Event> events() const;

    // The file after the first `count` logged events, starting from `base`.
    static std::vector<uint8_t> Replay(const std::vector<uint8_t>& base,
                                       const std::vector<Event>& events, size_t count);

  private:
    mutable std::mutex lock_;
    std::vector<uint8_t> bytes_;
    std::optional<uint64_t> quota_;
    bool logging_ = false;
    std::vector<Event> events_;
};

}  // namespace avi
