#include "avi/memory_file.h"

#include <algorithm>
#include <cstring>

namespace avi {

bool ReadExact(RandomAccessFile& file, uint64_t offset, uint8_t* data, size_t size) {
    size_t done = 0;
    return file.ReadAt(offset, data, size, &done).ok() && done == size;
}

IoResult MemoryFile::WriteAt(uint64_t offset, const uint8_t* data, size_t size) {
    std::lock_guard<std::mutex> hold(lock_);
    uint64_t end = offset + size;
    size_t fits = size;
    bool full = false;
    if (quota_ && end > *quota_ && end > bytes_.size()) {
        full = true;
        fits = offset >= *quota_ ? 0 : static_cast<size_t>(*quota_ - offset);
    }
    if (fits > 0) {
        if (offset + fits > bytes_.size())
            bytes_.resize(static_cast<size_t>(offset + fits), 0);
        std::memcpy(bytes_.data() + offset, data, fits);
        if (logging_)
            events_.push_back({Event::kWrite, offset, std::vector<uint8_t>(data, data + fits)});
    }
    return full ? IoResult::Full(28) : IoResult::Ok();
}

IoResult MemoryFile::ReadAt(uint64_t offset, uint8_t* data, size_t size, size_t* done) {
    std::lock_guard<std::mutex> hold(lock_);
    *done = 0;
    if (offset >= bytes_.size())
        return IoResult::Ok();
    size_t n = static_cast<size_t>(std::min<uint64_t>(size, bytes_.size() - offset));
    std::memcpy(data, bytes_.data() + offset, n);
    *done = n;
    return IoResult::Ok();
}

IoResult MemoryFile::Size(uint64_t* size) {
    std::lock_guard<std::mutex> hold(lock_);
    *size = bytes_.size();
    return IoResult::Ok();
}

IoResult MemoryFile::Truncate(uint64_t size) {
    std::lock_guard<std::mutex> hold(lock_);
    if (quota_ && size > *quota_ && size > bytes_.size())
        return IoResult::Full(28);
    bytes_.resize(static_cast<size_t>(size), 0);
    if (logging_)
        events_.push_back({Event::kTruncate, size, {}});
    return IoResult::Ok();
}

IoResult MemoryFile::Flush() {
    std::lock_guard<std::mutex> hold(lock_);
    if (logging_)
        events_.push_back({Event::kFlush, 0, {}});
    return IoResult::Ok();
}

void MemoryFile::set_quota(std::optional<uint64_t> quota) {
    std::lock_guard<std::mutex> hold(lock_);
    quota_ = quota;
}

void MemoryFile::set_logging(bool on) {
    std::lock_guard<std::mutex> hold(lock_);
    logging_ = on;
}

std::vector<uint8_t> MemoryFile::bytes() const {
    std::lock_guard<std::mutex> hold(lock_);
    return bytes_;
}

std::vector<MemoryFile::Event> MemoryFile::events() const {
    std::lock_guard<std::mutex> hold(lock_);
    return events_;
}

std::vector<uint8_t> MemoryFile::Replay(const std::vector<uint8_t>& base,
                                        const std::vector<Event>& events, size_t count) {
    std::vector<uint8_t> file = base;
    for (size_t i = 0; i < count && i < events.size(); ++i) {
        const Event& e = events[i];
        if (e.kind == Event::kWrite) {
            if (e.offset + e.bytes.size() > file.size())
                file.resize(static_cast<size_t>(e.offset + e.bytes.size()), 0);
            std::copy(e.bytes.begin(), e.bytes.end(),
                      file.begin() + static_cast<ptrdiff_t>(e.offset));
        } else if (e.kind == Event::kTruncate) {
            file.resize(static_cast<size_t>(e.offset), 0);
        }
    }
    return file;
}

}  // namespace avi
