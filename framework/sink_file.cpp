#include "framework/sink_file.h"

#include <cstdio>

namespace dshow {
namespace {

// The error of the last failed Win32 call; a full disk as IStream reports it.
HRESULT LastError() {
    DWORD error = GetLastError();
    if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL)
        return STG_E_MEDIUMFULL;
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

OVERLAPPED At(uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

void Report(const char* what, HRESULT hr) {
    char line[128];
    std::snprintf(line, sizeof(line), "dshow: file writer: %s failed, %08lX\n", what,
                  static_cast<unsigned long>(hr));
    OutputDebugStringA(line);
}

}  // namespace

HRESULT SinkFile::Open(const std::wstring& path) {
    ScopedLock lock(lock_);
    file_.reset();
    path_.clear();
    position_ = 0;
    first_write_ = 0;
    vistrel::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                           FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        HRESULT hr = LastError();
        Report("opening the file", hr);
        return hr;
    }
    file_ = std::move(file);
    path_ = path;
    return S_OK;
}

void SinkFile::Close() {
    ScopedLock lock(lock_);
    file_.reset();
    path_.clear();
}

bool SinkFile::is_open() {
    ScopedLock lock(lock_);
    return file_.valid();
}

std::wstring SinkFile::path() {
    ScopedLock lock(lock_);
    return path_;
}

HRESULT SinkFile::Read(void* data, ULONG size, ULONG* done) {
    ScopedLock lock(lock_);
    *done = 0;
    if (!file_)
        return E_UNEXPECTED;
    if (!FitsInStream(position_, size))
        return STG_E_INVALIDFUNCTION;
    OVERLAPPED at = At(position_);
    DWORD read = 0;
    if (!ReadFile(file_.get(), data, size, &read, &at) && GetLastError() != ERROR_HANDLE_EOF) {
        HRESULT hr = LastError();
        Report("reading", hr);
        return hr;
    }
    position_ += read;
    *done = read;
    return S_OK;
}

HRESULT SinkFile::Write(const void* data, ULONG size, ULONG* done) {
    ScopedLock lock(lock_);
    *done = 0;
    HRESULT hr = WriteLocked(position_, data, size);
    if (FAILED(hr))
        return hr;
    position_ += size;
    *done = size;
    return S_OK;
}

HRESULT SinkFile::WriteAt(uint64_t offset, const void* data, ULONG size) {
    ScopedLock lock(lock_);
    return WriteLocked(offset, data, size);
}

HRESULT SinkFile::WriteLocked(uint64_t offset, const void* data, ULONG size) {
    if (!file_) {
        Report("writing without an open file", E_UNEXPECTED);
        return E_UNEXPECTED;
    }
    if (!FitsInStream(offset, size))
        return STG_E_INVALIDFUNCTION;
    if (size == 0)
        return S_OK;
    OVERLAPPED at = At(offset);
    DWORD written = 0;
    if (!WriteFile(file_.get(), data, size, &written, &at)) {
        HRESULT hr = LastError();
        Report("writing", hr);
        return hr;
    }
    if (written != size) {
        Report("writing (short write)", STG_E_MEDIUMFULL);
        return STG_E_MEDIUMFULL;
    }
    if (first_write_ == 0) {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        first_write_ = now.QuadPart ? now.QuadPart : 1;
        char line[96];
        std::snprintf(line, sizeof(line), "dshow: file writer: first write at counter %lld\n",
                      static_cast<long long>(first_write_));
        OutputDebugStringA(line);
    }
    return S_OK;
}

HRESULT SinkFile::Seek(SeekOrigin origin, int64_t move, uint64_t* position) {
    ScopedLock lock(lock_);
    if (!file_)
        return E_UNEXPECTED;
    uint64_t end = 0;
    if (origin == SeekOrigin::kEnd) {
        HRESULT hr = SizeLocked(&end);
        if (FAILED(hr))
            return hr;
    }
    std::optional<uint64_t> target = SeekTarget(origin, move, position_, end);
    if (!target)
        return STG_E_INVALIDFUNCTION;
    position_ = *target;
    *position = position_;
    return S_OK;
}

HRESULT SinkFile::Size(uint64_t* size) {
    ScopedLock lock(lock_);
    return SizeLocked(size);
}

HRESULT SinkFile::SizeLocked(uint64_t* size) {
    *size = 0;
    if (!file_)
        return E_UNEXPECTED;
    LARGE_INTEGER bytes;
    if (!GetFileSizeEx(file_.get(), &bytes))
        return LastError();
    *size = static_cast<uint64_t>(bytes.QuadPart);
    return S_OK;
}

HRESULT SinkFile::SetSize(uint64_t size) {
    ScopedLock lock(lock_);
    if (!file_)
        return E_UNEXPECTED;
    if (size > kMaxStreamOffset)
        return STG_E_INVALIDFUNCTION;
    // Every read and write names its offset, so the handle's own file pointer
    // is free to mark the new end.
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(file_.get(), end, nullptr, FILE_BEGIN) || !SetEndOfFile(file_.get())) {
        HRESULT hr = LastError();
        Report("setting the size", hr);
        return hr;
    }
    return S_OK;
}

HRESULT SinkFile::Flush() {
    ScopedLock lock(lock_);
    if (!file_)
        return E_UNEXPECTED;
    return FlushFileBuffers(file_.get()) ? S_OK : LastError();
}

HRESULT SinkFile::Times(FILETIME* created, FILETIME* accessed, FILETIME* written) {
    ScopedLock lock(lock_);
    if (!file_)
        return E_UNEXPECTED;
    return GetFileTime(file_.get(), created, accessed, written) ? S_OK : LastError();
}

LONGLONG SinkFile::first_write() {
    ScopedLock lock(lock_);
    return first_write_;
}

}  // namespace dshow
