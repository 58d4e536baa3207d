// Writes GPX and SRT files from a made-up drive into a folder, for
// check_track_files.py to read with a GPX library and ffmpeg: a whole GPX, GPX
// files cut at several places and repaired, an SRT, and the values expected.
#include <fstream>
#include <string>

#include "telemetry/track_text.h"

using namespace telemetry;

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    std::string dir = argv[1];
    std::ofstream expected(dir + "/expected.txt");
    expected.precision(9);
    std::string gpx = GpxBegin("drive & back");
    std::string srt;
    GpsSharedRecord g{};
    ObdSharedRecord o{};
    for (int i = 0; i < 30; ++i) {
        g.FixValid = i % 10 == 9 ? 0 : 1;  // every tenth second without a fix
        g.FixTime = {2026, 6, 0, 14, 9, 30, static_cast<uint16_t>(i), 0};
        g.Latitude = 48.1371f + 0.0001f * i;
        g.Longitude = 11.5754f - 0.0002f * i;
        g.Altitude = 519.3f + i;
        g.FixState = kFix3D;
        g.SatellitesUsed = static_cast<uint8_t>(7 + i % 3);
        g.HorizontalDop = 0.9f + 0.1f * (i % 4);
        g.SpeedKnots = 0.5f * i;
        g.Heading = 10.0f * i;
        o.PidValues[kPidEngineRpm] = static_cast<uint32_t>((800 + 50 * i) * 4);
        std::string point = GpxPoint(g, g.FixTime);
        gpx += point;
        if (!point.empty()) {
            expected << "point " << i << ' ' << static_cast<double>(g.Latitude) << ' '
                     << static_cast<double>(g.Longitude) << ' ' << g.Altitude << ' '
                     << g.SpeedKnots * 1852.0 / 3600.0 << ' ' << g.Heading << ' '
                     << int{g.SatellitesUsed} << ' ' << g.HorizontalDop << '\n';
        }
        srt += SrtCue(i + 1, i * 1000, i * 1000 + 1000, SrtText(&g, &o, 1u << kPidEngineRpm, true));
        expected << "cue " << i << ' ' << 800 + 50 * i << '\n';
    }
    std::ofstream(dir + "/drive.gpx", std::ios::binary) << gpx << GpxEnd();
    std::ofstream(dir + "/drive.srt", std::ios::binary) << srt;
    for (size_t cut : {size_t{0}, size_t{100}, gpx.size() / 3, gpx.size() / 2 + 7, gpx.size()}) {
        std::string part = gpx.substr(0, cut);
        auto repair = RepairGpx(part);
        if (!repair)
            return 1;
        std::ofstream(dir + "/cut-" + std::to_string(cut) + ".gpx", std::ios::binary)
            << part.substr(0, repair->keep) << repair->append;
    }
    return 0;
}
