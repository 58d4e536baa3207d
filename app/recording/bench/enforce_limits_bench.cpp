// One EnforceRecordingLimits over a capture folder of 512 AVI files, against
// listing that folder once with FindFirstFile/FindNextFile.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/recording/recording_files.h"
#include "app/core/settings.h"

namespace {

constexpr int kFiles = 512;
constexpr int kRounds = 41;

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point from) {
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

double Median(std::vector<double> v) {
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

int ListOnce(const std::string& pattern) {
    WIN32_FIND_DATAA found{};
    HANDLE h = FindFirstFileA(pattern.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    int n = 0;
    do {
        ++n;
    } while (FindNextFileA(h, &found));
    FindClose(h);
    return n;
}

std::string MakeFolder() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string folder =
        std::string(temp) + "vistrel-bench-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    FILETIME base{};
    GetSystemTimeAsFileTime(&base);
    ULARGE_INTEGER t{};
    t.LowPart = base.dwLowDateTime;
    t.HighPart = base.dwHighDateTime;
    for (int i = 0; i < kFiles; ++i) {
        char name[64];
        // Written in another order than their names sort in.
        std::snprintf(name, sizeof(name), "\\Capture.2026-01-01.00.%02d.%02d.avi", (i * 7) % 60,
                      i % 60);
        std::string path = folder + name + std::to_string(i) + ".avi";
        HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ULARGE_INTEGER when = t;
        when.QuadPart -= static_cast<ULONGLONG>((i * 37) % kFiles) * 10000000ull;
        FILETIME ft{when.LowPart, when.HighPart};
        SetFileTime(f, nullptr, nullptr, &ft);
        CloseHandle(f);
    }
    return folder;
}

void RemoveFolder(const std::string& folder) {
    WIN32_FIND_DATAA found{};
    HANDLE h = FindFirstFileA((folder + "\\*.avi").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            DeleteFileA((folder + "\\" + found.cFileName).c_str());
        } while (FindNextFileA(h, &found));
        FindClose(h);
    }
    RemoveDirectoryA(folder.c_str());
}

}  // namespace

int main() {
    std::string folder = MakeFolder();
    std::string prefix = folder + "\\Capture";
    std::strcpy(vistrel::gSettings.capFilename, prefix.c_str());
    vistrel::gSettings.fileLimit = 0;  // nothing is deleted: every round sees 512 files
    vistrel::gSettings.gbLimit = 0;
    std::string pattern = folder + "\\*.avi";
    if (ListOnce(pattern) != kFiles) {
        std::fprintf(stderr, "could not create %d files in %s\n", kFiles, folder.c_str());
        RemoveFolder(folder);
        return 1;
    }
    // Rounds alternate, after one warm-up of each, so both see the same
    // state of the file system's caches.
    ListOnce(pattern);
    vistrel::EnforceRecordingLimits(false, 0);
    std::vector<double> listing, enforce;
    int listed = kFiles;
    for (int i = 0; i < kRounds; ++i) {
        auto t0 = Clock::now();
        int n = ListOnce(pattern);
        listing.push_back(Ms(t0));
        if (n != kFiles)
            listed = n;
        t0 = Clock::now();
        vistrel::EnforceRecordingLimits(false, 0);
        enforce.push_back(Ms(t0));
    }
    double listingMs = Median(listing);
    double enforceMs = Median(enforce);
    int left = ListOnce(pattern);
    RemoveFolder(folder);
    if (left != kFiles || listed != kFiles) {
        std::fprintf(stderr, "files changed during the run: %d left\n", left);
        return 1;
    }
    std::printf(
        "bench enforce-limits-512 %.2fx find-first-next-512 (one call %.3f ms, listing %.3f ms; "
        "target under 10 ms)\n",
        enforceMs / listingMs, enforceMs, listingMs);
    return 0;
}
