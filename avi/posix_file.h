// A RandomAccessFile on a POSIX file descriptor: the native tests and the
// native build of the repair tool.
#pragma once

#include <memory>
#include <string>

#include "avi/file_io.h"

namespace avi {

class PosixFile final : public RandomAccessFile {
  public:
    // Opens an existing file for reading and writing (or reading only).
    static std::unique_ptr<PosixFile> Open(const std::string& path, bool writable);
    // Creates a new file; fails when it exists.
    static std::unique_ptr<PosixFile> Create(const std::string& path);
    ~PosixFile() override;
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    IoResult WriteAt(uint64_t offset, const uint8_t* data, size_t size) override;
    IoResult ReadAt(uint64_t offset, uint8_t* data, size_t size, size_t* done) override;
    IoResult Size(uint64_t* size) override;
    IoResult Truncate(uint64_t size) override;
    IoResult Flush() override;

  private:
    explicit PosixFile(int fd) : fd_(fd) {}
    int fd_;
};

}  // namespace avi
