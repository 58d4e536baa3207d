// Arbitrary bytes as the GPS and OBD-II records (NaN and huge floats, any
// time) made into GPX and SRT text, and as a GPX file to repair.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "telemetry/track_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace telemetry;
    GpsSharedRecord gps{};
    ObdSharedRecord obd{};
    std::memcpy(&gps, data, std::min(size, sizeof(gps)));
    std::memcpy(&obd, data, std::min(size, sizeof(obd)));
    std::string text = SrtText(&gps, &obd, obd.RequestedPids, size % 2 == 0);
    SrtCue(static_cast<int>(size % 100000), obd.TripDistance, obd.Odometer, text);
    GpxPoint(gps, gps.FixTime);

    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    RepairGpx(bytes);
    std::string document = GpxBegin(bytes.substr(0, 40)) + std::string(bytes);
    if (auto repair = RepairGpx(document)) {
        if (repair->keep > document.size())
            __builtin_trap();
    }
    return 0;
}
