// A RandomAccessFile on Win32 file handles. Appends go through a handle of
// their own at its file pointer: Wine serves a write at the file pointer
// several times faster than one placed by an OVERLAPPED offset, and a placed
// write on a synchronous handle would move that pointer. Everything else
// (header writes, reads, flushes, cuts) goes through a second handle with
// placed reads and writes, so the writer's streaming side and its flushing
// side never share a file pointer.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "avi/file_io.h"
#include "common/win_handle.h"

namespace avi {

class Win32File final : public RandomAccessFile {
  public:
    // A new file for a segment (fails when one of that name exists, so no
    // recording is ever overwritten); others may read it meanwhile.
    static std::unique_ptr<Win32File> Create(const std::wstring& path, HRESULT* hr);
    // An existing file, for reading and writing or for reading only.
    static std::unique_ptr<Win32File> Open(const std::wstring& path, bool writable, HRESULT* hr);

    IoResult WriteAt(uint64_t offset, const uint8_t* data, size_t size) override;
    IoResult Append(uint64_t offset, const uint8_t* data, size_t size) override;
    IoResult ReadAt(uint64_t offset, uint8_t* data, size_t size, size_t* done) override;
    IoResult Size(uint64_t* size) override;
    IoResult Truncate(uint64_t size) override;
    IoResult Flush() override;

    void Close() {
        append_.reset();
        handle_.reset();
    }
    const std::wstring& path() const { return path_; }

  private:
    Win32File(vistrel::UniqueHandle handle, vistrel::UniqueHandle append, std::wstring path)
        : handle_(std::move(handle)), append_(std::move(append)), path_(std::move(path)) {}

    vistrel::UniqueHandle handle_;  // placed reads and writes, flushes, size
    vistrel::UniqueHandle append_;  // appends at its file pointer (writable files)
    uint64_t append_at_ = 0;        // where that pointer is; the appending side's
    std::wstring path_;
};

// The HRESULT of a failed file operation (a full disk as STG_E_MEDIUMFULL).
HRESULT IoHresult(const IoResult& result);

}  // namespace avi
