// The file under an AVI writer, reader or repair: positional reads and writes,
// a size, truncation and a flush to the disk. The writer's streaming side and
// its flushing side may call it from two threads at once, on distinct bytes.
// Portable: no windows.h; Win32File, PosixFile and MemoryFile implement it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace avi {

enum class IoStatus { kOk, kFull, kFailed };

struct IoResult {
    IoStatus status = IoStatus::kOk;
    uint32_t code = 0;  // the platform's error (an HRESULT, an errno)
    bool ok() const { return status == IoStatus::kOk; }
    static IoResult Ok() { return {}; }
    static IoResult Full(uint32_t code) { return {IoStatus::kFull, code}; }
    static IoResult Failed(uint32_t code) { return {IoStatus::kFailed, code}; }
};

class RandomAccessFile {
  public:
    virtual ~RandomAccessFile() = default;
    // Writes all `size` bytes at `offset` or fails (kFull when out of space).
    virtual IoResult WriteAt(uint64_t offset, const uint8_t* data, size_t size) = 0;
    // The same for the appending side, whose writes follow one another at the
    // end of the file: a file may serve them faster than writes placed
    // anywhere (Win32File writes them at the file pointer).
    virtual IoResult Append(uint64_t offset, const uint8_t* data, size_t size) {
        return WriteAt(offset, data, size);
    }
    // Reads up to `size` bytes; `*done` says how many (fewer at the end).
    virtual IoResult ReadAt(uint64_t offset, uint8_t* data, size_t size, size_t* done) = 0;
    virtual IoResult Size(uint64_t* size) = 0;
    virtual IoResult Truncate(uint64_t size) = 0;
    // Makes everything written so far durable.
    virtual IoResult Flush() = 0;
};

// Reads exactly `size` bytes, or false.
bool ReadExact(RandomAccessFile& file, uint64_t offset, uint8_t* data, size_t size);

}  // namespace avi
