#include "app/recording/segment_recovery.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <vector>

#include "app/recording/segment_rules.h"
#include "avi/avi_reader.h"
#include "avi/avi_repair.h"
#include "avi/win32_file.h"
#include "common/debug_output.h"
#include "common/win_handle.h"
#include "telemetry/track_text.h"

namespace vistrel {

namespace {

std::wstring Wide(const std::string& text) {
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (n <= 1)
        return {};
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, out.data(), n);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

std::vector<std::string> FilesOf(const std::string& capFilename, const char* extension) {
    std::vector<std::string> out;
    std::string folder = RemoveFileSpec(capFilename);
    size_t slash = capFilename.find_last_of('\\');
    std::string stem = slash == std::string::npos ? capFilename : capFilename.substr(slash + 1);
    std::string pattern = capFilename + ".*" + extension;
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return out;
    do {
        std::string name = found.cFileName;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            IsOwnSegmentName(name, stem, extension))
            out.push_back(JoinPath(folder, name));
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return out;
}

// A GPX track cut off by the crash gets its end, so map players read it.
// Written by an instance that runs, it cannot be opened for writing here.
void CloseTrack(const std::string& path) {
    constexpr LONGLONG kLargestTrack = 64LL << 20;
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file.valid() || !GetFileSizeEx(file.get(), &size) || size.QuadPart > kLargestTrack)
        return;
    std::string text(static_cast<size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    if (!ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &got, nullptr))
        return;
    text.resize(got);
    std::optional<telemetry::GpxRepair> repair = telemetry::RepairGpx(text);
    if (!repair)
        return;
    LARGE_INTEGER keep{};
    keep.QuadPart = static_cast<LONGLONG>(repair->keep);
    DWORD written = 0;
    if (SetFilePointerEx(file.get(), keep, nullptr, FILE_BEGIN) && SetEndOfFile(file.get()) &&
        WriteFile(file.get(), repair->append.data(), static_cast<DWORD>(repair->append.size()),
                  &written, nullptr))
        DebugLine("recorder: the track %s cut off by a crash is closed\n", path.c_str());
}

}  // namespace

RecoveryCount RecoverUnfinishedSegments(const std::string& capFilename) {
    RecoveryCount count;
    for (const std::string& path : FilesOf(capFilename, ".avi")) {
        HRESULT hr = S_OK;
        // Writable and not shared for writing: a segment another instance
        // is writing cannot be opened so, and stays as it is.
        std::unique_ptr<avi::Win32File> file = avi::Win32File::Open(Wide(path), true, &hr);
        if (!file)
            continue;
        if (avi::ParseHeader(*file).marker != avi::Marker::kRecording)
            continue;
        avi::RepairReport report = avi::Repair(*file, {});
        file->Close();
        switch (report.outcome) {
            case avi::RepairOutcome::kRepaired:
            case avi::RepairOutcome::kAlreadyWhole:
                ++count.repaired;
                DebugLine(
                    "recorder: unfinished segment %s made whole, %llu frames, %llu bytes cut\n",
                    path.c_str(), static_cast<unsigned long long>(report.frames),
                    static_cast<unsigned long long>(report.bytes_cut));
                break;
            case avi::RepairOutcome::kNoFrames:
                ++count.deleted;
                DeleteFileA(path.c_str());
                DebugLine("recorder: unfinished segment %s had no frame; deleted\n", path.c_str());
                break;
            default:
                ++count.failed;
                DebugLine("recorder: unfinished segment %s not repaired: %s\n", path.c_str(),
                          avi::OutcomeText(report.outcome));
                break;
        }
    }
    for (const std::string& path : FilesOf(capFilename, ".gpx"))
        CloseTrack(path);
    return count;
}

}  // namespace vistrel
