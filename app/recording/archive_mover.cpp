#include "app/recording/archive_mover.h"

#include <windows.h>

#include "app/recording/recording_files.h"
#include "app/recording/segment_rules.h"
#include "common/win_handle.h"

namespace vistrel {

namespace {

constexpr int kMaxSerial = 999;

bool Taken(DWORD error) {
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
}

// Another volume: copy beside the target under a temporary name, flush it,
// give it its name, and only then delete the source.
DWORD CopyAcross(const std::string& source, const std::string& target) {
    std::string part = target + ".part";
    if (!CopyFileA(source.c_str(), part.c_str(), TRUE))
        return GetLastError();
    DWORD error = ERROR_SUCCESS;
    {
        UniqueHandle copy(CreateFileA(part.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!copy.valid() || !FlushFileBuffers(copy.get()))
            error = GetLastError();
    }
    if (error == ERROR_SUCCESS && !MoveFileExA(part.c_str(), target.c_str(), 0))
        error = GetLastError();
    if (error != ERROR_SUCCESS) {
        DeleteFileA(part.c_str());
        return error;
    }
    DeleteFileA(source.c_str());
    return ERROR_SUCCESS;
}

}  // namespace

ArchiveMoveResult MoveToArchive(const ArchiveMove& move) {
    ArchiveMoveResult result{move.source, {}, 0};
    size_t slash = move.source.find_last_of('\\');
    std::string name = slash == std::string::npos ? move.source : move.source.substr(slash + 1);
    std::string target = JoinPath(move.archiveFolder, name);
    CreateFolderPath(target);
    for (int serial = 1; serial <= kMaxSerial; ++serial) {
        std::string candidate = serial == 1 ? target : SerialFileName(target, serial);
        if (candidate.size() > kMaxPathChars) {
            result.error = ERROR_FILENAME_EXCED_RANGE;
            return result;
        }
        // A rename within the volume never replaces a file; another volume
        // answers ERROR_NOT_SAME_DEVICE and is copied.
        DWORD error = ERROR_SUCCESS;
        if (!MoveFileExA(move.source.c_str(), candidate.c_str(), 0)) {
            error = GetLastError();
            if (error == ERROR_NOT_SAME_DEVICE) {
                if (GetFileAttributesA(candidate.c_str()) != INVALID_FILE_ATTRIBUTES)
                    continue;
                error = CopyAcross(move.source, candidate);
            }
        }
        if (error == ERROR_SUCCESS) {
            result.target = candidate;
            return result;
        }
        if (!Taken(error)) {
            result.error = error;
            return result;
        }
    }
    result.error = ERROR_FILE_EXISTS;
    return result;
}

ArchiveMover::ArchiveMover(std::function<void(const ArchiveMoveResult&)> done)
    : done_(std::move(done)), thread_([this] { Run(); }) {}

ArchiveMover::~ArchiveMover() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        ending_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void ArchiveMover::Queue(std::vector<ArchiveMove> moves) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        for (ArchiveMove& m : moves)
            queue_.push_back(std::move(m));
    }
    wake_.notify_all();
}

std::vector<std::string> ArchiveMover::Pending() const {
    std::lock_guard<std::mutex> hold(lock_);
    std::vector<std::string> out;
    if (!moving_.empty())
        out.push_back(moving_);
    for (const ArchiveMove& m : queue_)
        out.push_back(m.source);
    return out;
}

void ArchiveMover::Run() {
    for (;;) {
        ArchiveMove move;
        {
            std::unique_lock<std::mutex> hold(lock_);
            wake_.wait(hold, [this] { return ending_ || !queue_.empty(); });
            if (queue_.empty())
                return;  // ending, and nothing left to move
            move = std::move(queue_.front());
            queue_.pop_front();
            moving_ = move.source;
        }
        ArchiveMoveResult result = MoveToArchive(move);
        {
            std::lock_guard<std::mutex> hold(lock_);
            moving_.clear();
        }
        if (done_)
            done_(result);
    }
}

}  // namespace vistrel
