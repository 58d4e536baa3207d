// A RandomAccessFile on a Win32 file handle: positional reads and writes
// (OVERLAPPED offsets on a synchronous handle), so the writer's streaming
// side and its flushing side share one handle without a file pointer.
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
    IoResult ReadAt(uint64_t offset, uint8_t* data, size_t size, size_t* done) override;
    IoResult Size(uint64_t* size) override;
    IoResult Truncate(uint64_t size) override;
    IoResult Flush() override;

    void Close() { handle_.reset(); }
    const std::wstring& path() const { return path_; }

  private:
    Win32File(vistrel::UniqueHandle handle, std::wstring path)
        : handle_(std::move(handle)), path_(std::move(path)) {}

    vistrel::UniqueHandle handle_;
    std::wstring path_;
};

// The HRESULT of a failed file operation (a full disk as STG_E_MEDIUMFULL).
HRESULT IoHresult(const IoResult& result);

}  // namespace avi
