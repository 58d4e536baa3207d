// A second process for the cross-process tests: plays the recorder's side of
// the overlay text block (claim it, offer it to a filter), as a separate
// program would.
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

}  // namespace

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    int a = argc > 2 ? std::atoi(argv[2]) : 0;
    int seconds = argc > 3 ? std::atoi(argv[3]) : 5;
    if (mode == "osd-owner")
        return OsdOwner(a, false, seconds);
    if (mode == "osd-offer")
        return OsdOwner(a, true, seconds);
    std::fprintf(stderr, "usage: telemetry_peer osd-owner|osd-offer INSTANCE SECONDS\n");
    return 2;
}
