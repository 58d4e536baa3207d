#include "app/recording/recording_files.h"

#include <windows.h>

#include <map>
#include <vector>

#include "app/core/settings.h"
#include "app/recording/recording_limits.h"
#include "app/recording/segment_rules.h"
#include "app/recording/segment_track.h"
#include "common/debug_output.h"

namespace vistrel {

namespace {

int64_t gSegmentStartTime = 0;
int64_t gSegmentEndTime = 0;
std::string gLastSegmentName;  // the previous name handed out in this run

// Closes a FindFirstFile search on every path.
class FindHandle {
  public:
    explicit FindHandle(HANDLE h) : handle_(h) {}
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    ~FindHandle() {
        if (valid())
            FindClose(handle_);
    }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

bool PathExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

uint64_t Combine(DWORD high, DWORD low) {
    return (uint64_t{high} << 32) | low;
}

std::string CaptureFolder() {
    return RemoveFileSpec(gSettings.capFilename);
}

// The file-name part of the capture path: what this recorder's segment names
// begin with.
std::string CaptureStem() {
    std::string_view path = gSettings.capFilename;
    size_t slash = path.find_last_of('\\');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace

int64_t LocalSeconds() {
    FILETIME utc{}, local{};
    GetSystemTimeAsFileTime(&utc);
    if (!FileTimeToLocalFileTime(&utc, &local))
        local = utc;
    return LocalSecondsFromFileTime(Combine(local.dwHighDateTime, local.dwLowDateTime));
}

int64_t SegmentStartTime() {
    return gSegmentStartTime;
}

int64_t SegmentEndTime() {
    return gSegmentEndTime;
}

void BeginSegmentClock(uint32_t capSeconds) {
    gSegmentStartTime = LocalSeconds();
    gSegmentEndTime = SegmentEndFor(gSegmentStartTime, capSeconds);
}

bool MakeSegmentFileName(SegmentPath& out) {
    SYSTEMTIME st{};
    GetLocalTime(&st);
    LocalDateTime t{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
    std::optional<std::string> name =
        ChooseSegmentFileName(gSettings.capFilename, t, [](const std::string& candidate) {
            return PathExists(candidate) ||
                   lstrcmpiA(candidate.c_str(), gLastSegmentName.c_str()) == 0;
        });
    if (!name)
        return false;
    int wideLength = MultiByteToWideChar(CP_ACP, 0, name->c_str(), -1, nullptr, 0);
    if (wideLength <= 0)
        return false;
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_ACP, 0, name->c_str(), -1, wide.data(), wideLength);
    wide.resize(static_cast<size_t>(wideLength - 1));
    gLastSegmentName = *name;
    out.path = std::move(*name);
    out.wide = std::move(wide);
    return true;
}

void CreateFolderPath(const std::string& path) {
    for (const std::string& folder : FolderPrefixes(path))
        CreateDirectoryA(folder.c_str(), nullptr);
}

namespace {

// The AVI files of the capture folder, oldest first, leaving out `leave`
// (full paths); `kept` is marked as kept. Nothing when the folder cannot be
// searched.
std::string Lower(std::string text) {
    for (char& c : text)
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    return text;
}

// The sizes of the track files (".gpx", ".srt") by their segment's name
// without extension, in lower case.
std::map<std::string, uint64_t> SidecarSizes(const std::string& folder, const std::string& stem) {
    std::map<std::string, uint64_t> sizes;
    for (const char* extension : kSidecarExtensions) {
        WIN32_FIND_DATAA found{};
        FindHandle search(
            FindFirstFileA(JoinPath(folder, std::string("*") + extension).c_str(), &found));
        if (!search.valid())
            continue;
        do {
            std::string name = found.cFileName;
            if (IsOwnSegmentName(name, stem, extension) &&
                !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                sizes[Lower(name.substr(0, name.size() - 4))] +=
                    Combine(found.nFileSizeHigh, found.nFileSizeLow);
        } while (FindNextFileA(search.get(), &found));
    }
    return sizes;
}

std::vector<RecordingFile> ListRecordings(const std::string& folder,
                                          const std::vector<std::string>& leave,
                                          const std::string& kept) {
    std::string stem = CaptureStem();
    std::map<std::string, uint64_t> sidecars = SidecarSizes(folder, stem);
    WIN32_FIND_DATAA found{};
    FindHandle search(FindFirstFileA(JoinPath(folder, "*.avi").c_str(), &found));
    if (!search.valid())
        return {};
    auto same = [&](const std::string& path, const char* name) {
        return lstrcmpiA(path.c_str(), JoinPath(folder, name).c_str()) == 0;
    };
    auto left = [&](const char* name) {
        for (const std::string& l : leave) {
            if (same(l, name))
                return true;
        }
        return false;
    };
    RecordingListing listing;
    do {
        // Only this recorder's own segments: another program's videos and
        // another instance's segments in the same folder are not ours to
        // delete or move. Folders are not recordings.
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        if (!IsOwnSegmentName(found.cFileName, stem) || left(found.cFileName))
            continue;
        // A segment's track files count with it in "GBLimit".
        std::string name = found.cFileName;
        auto track = sidecars.find(Lower(name.substr(0, name.size() - 4)));
        uint64_t size = Combine(found.nFileSizeHigh, found.nFileSizeLow) +
                        (track == sidecars.end() ? 0 : track->second);
        listing.Add(
            {found.cFileName,
             Combine(found.ftLastWriteTime.dwHighDateTime, found.ftLastWriteTime.dwLowDateTime),
             size, same(kept, found.cFileName)});
    } while (FindNextFileA(search.get(), &found));
    return listing.TakeOldestFirst();
}

}  // namespace

bool DeleteRecording(const std::string& segment) {
    for (const char* extension : kSidecarExtensions)
        DeleteFileA(SidecarPath(segment, extension).c_str());
    return DeleteFileA(segment.c_str()) != FALSE;
}

std::vector<std::string> WithSidecars(const std::vector<std::string>& segments) {
    std::vector<std::string> out;
    for (const std::string& segment : segments) {
        out.push_back(segment);
        for (const char* extension : kSidecarExtensions) {
            std::string track = SidecarPath(segment, extension);
            if (GetFileAttributesA(track.c_str()) != INVALID_FILE_ATTRIBUTES)
                out.push_back(track);
        }
    }
    return out;
}

std::vector<std::string> EnforceRecordingLimits(bool archive, uint32_t age,
                                                const std::vector<std::string>& leave,
                                                const std::string& kept) {
    std::string folder = CaptureFolder();
    std::vector<RecordingFile> files = ListRecordings(folder, leave, kept);
    if (files.empty())
        return {};
    LimitPlan plan =
        PlanRecordingLimits(files, archive, age, gSettings.fileLimit, gSettings.gbLimit);
    for (const std::string& name : plan.toDelete)
        DeleteRecording(JoinPath(folder, name));
    std::vector<std::string> chosen;
    for (const std::string& name : plan.toArchive)
        chosen.push_back(JoinPath(folder, name));
    return chosen;
}

bool KeepFreeSpaceFloor(const std::vector<std::string>& leave, const std::string& kept) {
    if (gSettings.minFreeGB == 0)
        return true;
    std::string folder = CaptureFolder();
    // The folder may not exist yet: the nearest one of its parents that does
    // is on the same disk.
    ULARGE_INTEGER available{};
    bool known = GetDiskFreeSpaceExA(JoinPath(folder, "").c_str(), &available, nullptr, nullptr);
    std::vector<std::string> parents = FolderPrefixes(JoinPath(folder, "x"));
    for (auto p = parents.rbegin(); !known && p != parents.rend(); ++p)
        known = GetDiskFreeSpaceExA(JoinPath(*p, "").c_str(), &available, nullptr, nullptr);
    const uint64_t floor = uint64_t{gSettings.minFreeGB} << 30;
    // Nothing to measure: the writer reports a full disk itself.
    if (!known || available.QuadPart >= floor)
        return true;
    FloorPlan plan = PlanFreeSpace(ListRecordings(folder, leave, kept), available.QuadPart, floor);
    for (const std::string& name : plan.toDelete) {
        DebugLine("recorder: below %u GB free; %s deleted\n", gSettings.minFreeGB, name.c_str());
        DeleteRecording(JoinPath(folder, name));
    }
    return plan.reached;
}

std::string DeleteOldestRecording(const std::vector<std::string>& leave) {
    std::string folder = CaptureFolder();
    for (const RecordingFile& file : ListRecordings(folder, leave, {})) {
        std::string path = JoinPath(folder, file.name);
        if (DeleteRecording(path))
            return path;
    }
    return {};
}

}  // namespace vistrel
