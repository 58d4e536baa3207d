// The file under the file writer: a Win32 file opened for writing with read
// sharing, with the stream position of the pin's IStream and writes placed at
// any offset. Its own lock serialises every call, so the graph thread (the
// multiplexer writes its header and index while stopping) and streaming
// threads (samples, the multiplexer's chunks) may use it at once; it is held
// only around file-system calls, never while calling another object.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "common/win_handle.h"
#include "framework/lock.h"
#include "framework/stream_position.h"

namespace dshow {

class SinkFile {
  public:
    SinkFile() = default;
    SinkFile(const SinkFile&) = delete;
    SinkFile& operator=(const SinkFile&) = delete;

    // Creates the file, or empties an existing one; closes the one open
    // before. The position starts at 0. A Win32 failure comes back as its
    // HRESULT.
    HRESULT Open(const std::wstring& path);
    void Close();
    bool is_open();
    // The path of the open file, empty when none is.
    std::wstring path();

    // At the position, which then moves past what was done. Read stops at the
    // end of the file (`*done` says how far it got); a Write that could not
    // write everything fails.
    HRESULT Read(void* data, ULONG size, ULONG* done);
    HRESULT Write(const void* data, ULONG size, ULONG* done);
    HRESULT Seek(SeekOrigin origin, int64_t move, uint64_t* position);
    // At `offset`, leaving the position alone (samples placed by their time).
    HRESULT WriteAt(uint64_t offset, const void* data, ULONG size);

    HRESULT Size(uint64_t* size);
    // Cuts or extends the file; the position stays.
    HRESULT SetSize(uint64_t size);
    HRESULT Flush();
    HRESULT Times(FILETIME* created, FILETIME* accessed, FILETIME* written);

    // QueryPerformanceCounter at the first write since the file was opened,
    // or 0 when nothing has been written yet.
    LONGLONG first_write();

  private:
    HRESULT WriteLocked(uint64_t offset, const void* data, ULONG size);
    HRESULT SizeLocked(uint64_t* size);

    CriticalSection lock_;
    vistrel::UniqueHandle file_;
    std::wstring path_;
    uint64_t position_ = 0;
    LONGLONG first_write_ = 0;
};

}  // namespace dshow
