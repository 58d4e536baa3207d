// Everything that reads a shared record, fed with arbitrary mapping images of
// arbitrary size, as another process might leave them.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "telemetry/protocol.h"

using namespace telemetry;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> view(data, data + size);
    GpsSharedRecord gps;
    if (SnapshotGps(view, gps)) {
        volatile size_t sink =
            std::strlen(FixStateName(gps.FixState)) + std::strlen(FixStateLabel(gps.FixState));
        (void)sink;
    }
    ObdSharedRecord obd;
    if (SnapshotObd(view, obd)) {
        unsigned sum = std::strlen(LinkStateName(obd.LinkState));
        for (int pid = -1; pid <= kObdPidSlots; ++pid)
            sum += PidValue(obd, pid);
        volatile unsigned sink = sum;
        (void)sink;
    }
    OverlaySettings osd;
    if (SnapshotOsd(view, osd)) {
        size_t total = FieldText(osd.Font).size() + FieldText(osd.Custom).size();
        for (const auto& line : osd.TextLines)
            total += FieldText(line.Text).size();
        if (total > 128 + 64 + 8 * 64)
            __builtin_trap();
    }
    // The writes a reader makes stay inside the view.
    AttachGpsReader(view);
    AttachObdReader(view);
    RequestPids(view, 0x3000);
    StampFixMilliseconds(view, 999);
    if (ClaimOfferedOsdBlock(view))
        ReleaseOsdBlock(view);
    DetachGpsReader(view);
    DetachObdReader(view);
    return 0;
}
