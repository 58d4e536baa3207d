#include "app/recording/segment_recovery.h"

#include <windows.h>

#include <memory>
#include <vector>

#include "app/recording/segment_rules.h"
#include "avi/avi_reader.h"
#include "avi/avi_repair.h"
#include "avi/win32_file.h"
#include "common/debug_output.h"

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

std::vector<std::string> SegmentsOf(const std::string& capFilename) {
    std::vector<std::string> out;
    std::string folder = RemoveFileSpec(capFilename);
    std::string pattern = capFilename + ".*.avi";
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return out;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            HasAviExtension(found.cFileName))
            out.push_back(JoinPath(folder, found.cFileName));
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return out;
}

}  // namespace

RecoveryCount RecoverUnfinishedSegments(const std::string& capFilename) {
    RecoveryCount count;
    for (const std::string& path : SegmentsOf(capFilename)) {
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
    return count;
}

}  // namespace vistrel
