#include "avi/posix_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace avi {
namespace {

IoResult Error() {
    int e = errno;
    return e == ENOSPC || e == EDQUOT || e == EFBIG ? IoResult::Full(static_cast<uint32_t>(e))
                                                    : IoResult::Failed(static_cast<uint32_t>(e));
}

}  // namespace

std::unique_ptr<PosixFile> PosixFile::Open(const std::string& path, bool writable) {
    int fd = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    return std::unique_ptr<PosixFile>(new PosixFile(fd));
}

std::unique_ptr<PosixFile> PosixFile::Create(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return nullptr;
    return std::unique_ptr<PosixFile>(new PosixFile(fd));
}

PosixFile::~PosixFile() {
    ::close(fd_);
}

IoResult PosixFile::WriteAt(uint64_t offset, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::pwrite(fd_, data, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return Error();
        }
        if (n == 0)
            return IoResult::Full(ENOSPC);
        data += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return IoResult::Ok();
}

IoResult PosixFile::ReadAt(uint64_t offset, uint8_t* data, size_t size, size_t* done) {
    *done = 0;
    while (*done < size) {
        ssize_t n = ::pread(fd_, data + *done, size - *done, static_cast<off_t>(offset + *done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return Error();
        }
        if (n == 0)
            break;
        *done += static_cast<size_t>(n);
    }
    return IoResult::Ok();
}

IoResult PosixFile::Size(uint64_t* size) {
    struct stat st;
    if (::fstat(fd_, &st) != 0)
        return Error();
    *size = static_cast<uint64_t>(st.st_size);
    return IoResult::Ok();
}

IoResult PosixFile::Truncate(uint64_t size) {
    return ::ftruncate(fd_, static_cast<off_t>(size)) == 0 ? IoResult::Ok() : Error();
}

IoResult PosixFile::Flush() {
    return ::fsync(fd_) == 0 ? IoResult::Ok() : Error();
}

}  // namespace avi
