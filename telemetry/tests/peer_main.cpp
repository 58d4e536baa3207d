// A second process for the cross-process tests: plays the recorder's side of
// the overlay text block (claim it, offer it to a filter), as a separate
// program would; or squats a block name with a mapping whose pages are only
// reserved, as any local program may.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "telemetry/attach.h"

namespace {

int OsdOwner(int instance, bool offer, int seconds) {
    telemetry::OsdBlockOwner owner;
    if (!owner.Claim(instance)) {
        std::printf("no block\n");
        return 3;
    }
    std::printf("block %d\n", owner.index());
    std::fflush(stdout);
    if (offer)
        owner.RaiseClaimFlag();
    ULONGLONG end = GetTickCount64() + seconds * 1000ULL;
    while (GetTickCount64() < end) {
        if (offer && owner.record()->ClaimFlag == 0) {
            std::printf("taken, users %d\n", owner.record()->UserCount);
            std::fflush(stdout);
            offer = false;
        }
        Sleep(20);
    }
    return 0;
}

// A mapping of `size` bytes with reserved pages, of which the first
// `committed` bytes (rounded up to whole pages) are committed.
int Reserve(const char* name, DWORD size, SIZE_T committed, int seconds) {
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE | SEC_RESERVE,
                                        0, size, name);
    if (!mapping || GetLastError() == ERROR_ALREADY_EXISTS) {
        std::printf("cannot reserve %s\n", name);
        return 3;
    }
    if (committed != 0) {
        void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
        if (!view || !VirtualAlloc(view, committed, MEM_COMMIT, PAGE_READWRITE)) {
            std::printf("cannot commit %s\n", name);
            return 4;
        }
    }
    std::printf("reserved %s\n", name);
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(seconds) * 1000);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    int a = argc > 2 ? std::atoi(argv[2]) : 0;
    int seconds = argc > 3 ? std::atoi(argv[3]) : 5;
    if (mode == "osd-owner")
        return OsdOwner(a, false, seconds);
    if (mode == "osd-offer")
        return OsdOwner(a, true, seconds);
    if (mode == "reserve" && argc == 6) {
        return Reserve(argv[2], static_cast<DWORD>(std::atoi(argv[3])),
                       static_cast<SIZE_T>(std::atoi(argv[4])), std::atoi(argv[5]));
    }
    std::fprintf(stderr,
                 "usage: telemetry_peer osd-owner|osd-offer INSTANCE SECONDS\n"
                 "       telemetry_peer reserve NAME SIZE COMMITTED SECONDS\n");
    return 2;
}
