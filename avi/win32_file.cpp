#include "avi/win32_file.h"

#include <algorithm>

namespace avi {
namespace {

IoResult LastError() {
    DWORD error = GetLastError();
    HRESULT hr = error ? HRESULT_FROM_WIN32(error) : E_FAIL;
    if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL)
        return IoResult::Full(static_cast<uint32_t>(hr));
    return IoResult::Failed(static_cast<uint32_t>(hr));
}

OVERLAPPED At(uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

// Larger transfers go in pieces a DWORD can count.
constexpr size_t kMaxTransfer = 1u << 30;

}  // namespace

HRESULT IoHresult(const IoResult& result) {
    if (result.ok())
        return S_OK;
    if (result.status == IoStatus::kFull)
        return STG_E_MEDIUMFULL;
    return result.code ? static_cast<HRESULT>(result.code) : E_FAIL;
}

std::unique_ptr<Win32File> Win32File::Create(const std::wstring& path, HRESULT* hr) {
    // Others may read a recording while it grows; the second handle of our
    // own needs write sharing.
    vistrel::UniqueHandle append(CreateFileW(path.c_str(), GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!append) {
        *hr = IoHresult(LastError());
        return nullptr;
    }
    vistrel::UniqueHandle handle(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) {
        *hr = IoHresult(LastError());
        append.reset();
        DeleteFileW(path.c_str());
        return nullptr;
    }
    *hr = S_OK;
    return std::unique_ptr<Win32File>(new Win32File(std::move(handle), std::move(append), path));
}

std::unique_ptr<Win32File> Win32File::Open(const std::wstring& path, bool writable, HRESULT* hr) {
    DWORD access = GENERIC_READ | (writable ? GENERIC_WRITE : 0);
    DWORD share = writable ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE;
    vistrel::UniqueHandle handle(CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) {
        *hr = IoHresult(LastError());
        return nullptr;
    }
    *hr = S_OK;
    return std::unique_ptr<Win32File>(
        new Win32File(std::move(handle), vistrel::UniqueHandle(), path));
}

IoResult Win32File::Append(uint64_t offset, const uint8_t* data, size_t size) {
    if (!append_)
        return WriteAt(offset, data, size);
    if (offset != append_at_) {
        LARGE_INTEGER to;
        to.QuadPart = static_cast<LONGLONG>(offset);
        if (!SetFilePointerEx(append_.get(), to, nullptr, FILE_BEGIN))
            return LastError();
        append_at_ = offset;
    }
    while (size > 0) {
        DWORD piece = static_cast<DWORD>(std::min(size, kMaxTransfer));
        DWORD written = 0;
        BOOL ok = WriteFile(append_.get(), data, piece, &written, nullptr);
        append_at_ += written;
        if (!ok)
            return LastError();
        if (written == 0)
            return IoResult::Full(static_cast<uint32_t>(STG_E_MEDIUMFULL));
        data += written;
        size -= written;
    }
    return IoResult::Ok();
}

IoResult Win32File::WriteAt(uint64_t offset, const uint8_t* data, size_t size) {
    while (size > 0) {
        DWORD piece = static_cast<DWORD>(std::min(size, kMaxTransfer));
        OVERLAPPED at = At(offset);
        DWORD written = 0;
        if (!WriteFile(handle_.get(), data, piece, &written, &at))
            return LastError();
        if (written == 0)
            return IoResult::Full(static_cast<uint32_t>(STG_E_MEDIUMFULL));
        data += written;
        size -= written;
        offset += written;
    }
    return IoResult::Ok();
}

IoResult Win32File::ReadAt(uint64_t offset, uint8_t* data, size_t size, size_t* done) {
    *done = 0;
    while (*done < size) {
        DWORD piece = static_cast<DWORD>(std::min(size - *done, kMaxTransfer));
        OVERLAPPED at = At(offset + *done);
        DWORD read = 0;
        if (!ReadFile(handle_.get(), data + *done, piece, &read, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF)
                break;
            return LastError();
        }
        if (read == 0)
            break;
        *done += read;
    }
    return IoResult::Ok();
}

IoResult Win32File::Size(uint64_t* size) {
    LARGE_INTEGER bytes;
    if (!GetFileSizeEx(handle_.get(), &bytes))
        return LastError();
    *size = static_cast<uint64_t>(bytes.QuadPart);
    return IoResult::Ok();
}

IoResult Win32File::Truncate(uint64_t size) {
    // Placed reads and writes name their offsets, so this handle's file
    // pointer is free to mark the new end.
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(handle_.get(), end, nullptr, FILE_BEGIN) || !SetEndOfFile(handle_.get()))
        return LastError();
    append_at_ = UINT64_MAX;  // the next append places the pointer again
    return IoResult::Ok();
}

IoResult Win32File::Flush() {
    return FlushFileBuffers(handle_.get()) ? IoResult::Ok() : LastError();
}

}  // namespace avi
