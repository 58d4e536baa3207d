#include "telemetry/track_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "telemetry/protocol.h"

namespace telemetry {

namespace {

constexpr double kMetresPerSecondPerKnot = 1852.0 / 3600.0;
constexpr double kKmhPerKnot = 1.852;
constexpr double kMilesPerKm = 1 / 1.609344;
constexpr std::string_view kGpxHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<gpx version=\"1.1\" creator=\"Vistrel\" xmlns=\"http://www.topografix.com/GPX/1/1\" "
    "xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\">\n";
constexpr std::string_view kSegmentOpen = "<trkseg>\n";
constexpr std::string_view kPointClose = "</trkpt>\n";
constexpr std::string_view kGpxTail = "</trkseg></trk>\n</gpx>\n";

template <typename... Args>
std::string Printf(const char* format, Args... args) {
    char buffer[160];
    int n = std::snprintf(buffer, sizeof(buffer), format, args...);
    return std::string(buffer, static_cast<size_t>(std::clamp(n, 0, int{sizeof(buffer)} - 1)));
}

std::string XmlEscaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                // Control characters are not allowed in XML 1.0 at all.
                if (static_cast<unsigned char>(c) >= 0x20 || c == '\t')
                    out += c;
        }
    }
    return out;
}

bool ValidTime(const FixTimeUtc& t) {
    return t.Year >= 1980 && t.Year <= 9999 && t.Month >= 1 && t.Month <= 12 && t.Day >= 1 &&
           t.Day <= 31 && t.Hour < 24 && t.Minute < 60 && t.Second < 61 && t.Milliseconds < 1000;
}

bool Finite(float v) {
    return std::isfinite(v);
}

std::string PidText(const ObdSharedRecord& obd, int pid) {
    unsigned v = PidValue(obd, pid);
    switch (pid) {
        case kPidEngineLoad:
            return Printf("load %u%%", v * 100 / 255);
        case 0x05:
            return Printf(
                "coolant %d \xC2\xB0"
                "C",
                static_cast<int>(v) - 40);
        case kPidShortTermFuelTrim:
            return Printf("trim %+.1f%%", (static_cast<int>(v) - 128) * 100.0 / 128);
        case kPidFuelPressure:
            return Printf("fuel %u kPa", v * 3);
        case kPidIntakePressure:
            return Printf("manifold %u kPa", v);
        case kPidEngineRpm:
            return Printf("%u rpm", v / 4);
        case kPidVehicleSpeed:
            return Printf("%u km/h", v);
        case kPidTimingAdvance:
            return Printf("advance %.1f\xC2\xB0", v / 2.0 - 64);
        case kPidIntakeAirTemp:
            return Printf(
                "intake %d \xC2\xB0"
                "C",
                static_cast<int>(v) - 40);
        case kPidMassAirFlow:
            return Printf("air %.2f g/s", v / 100.0);
        case kPidThrottle:
            return Printf("throttle %u%%", v * 100 / 255);
        default:
            return {};
    }
}

}  // namespace

bool HasFixTime(const GpsSharedRecord& gps) {
    return ValidTime(gps.FixTime);
}

std::string GpxBegin(std::string_view name) {
    return std::string(kGpxHead) + "<trk><name>" + XmlEscaped(name) + "</name>" +
           std::string(kSegmentOpen);
}

std::string GpxPoint(const GpsSharedRecord& gps, const FixTimeUtc& utc) {
    double lat = gps.Latitude, lon = gps.Longitude;
    if (gps.FixValid == 0 || !std::isfinite(lat) || !std::isfinite(lon) || std::fabs(lat) > 90 ||
        std::fabs(lon) > 180 || (lat == 0 && lon == 0)) {
        return {};
    }
    std::string p = Printf("<trkpt lat=\"%.7f\" lon=\"%.7f\">", lat, lon);
    if (Finite(gps.Altitude))
        p += Printf("<ele>%.1f</ele>", gps.Altitude);
    if (ValidTime(utc)) {
        p +=
            Printf("<time>%04u-%02u-%02uT%02u:%02u:%02u.%03uZ</time>", utc.Year, utc.Month, utc.Day,
                   utc.Hour, utc.Minute, std::min<unsigned>(utc.Second, 59), utc.Milliseconds);
    }
    if (Finite(gps.GeoidalSeparation) && gps.GeoidalSeparation != 0)
        p += Printf("<geoidheight>%.1f</geoidheight>", gps.GeoidalSeparation);
    static const char* const kFix[] = {nullptr, "none", "2d", "3d"};
    if (gps.FixState >= 1 && gps.FixState <= 3)
        p += Printf("<fix>%s</fix>", kFix[gps.FixState]);
    p += Printf("<sat>%u</sat>", gps.SatellitesUsed);
    const float dops[] = {gps.HorizontalDop, gps.VerticalDop, gps.PositionDop};
    const char* const dopNames[] = {"hdop", "vdop", "pdop"};
    for (int i = 0; i < 3; ++i) {
        if (Finite(dops[i]) && dops[i] > 0)
            p += Printf("<%s>%.2f</%s>", dopNames[i], dops[i], dopNames[i]);
    }
    if (Finite(gps.SpeedKnots) && Finite(gps.Heading) && gps.SpeedKnots >= 0) {
        p += Printf(
            "<extensions><gpxtpx:TrackPointExtension><gpxtpx:speed>%.2f</gpxtpx:speed>"
            "<gpxtpx:course>%.1f</gpxtpx:course></gpxtpx:TrackPointExtension></extensions>",
            std::min(gps.SpeedKnots * kMetresPerSecondPerKnot, 1e6),
            std::fmod(std::fabs(static_cast<double>(gps.Heading)), 360.0));
    }
    return p + std::string(kPointClose);
}

std::string GpxEnd() {
    return std::string(kGpxTail);
}

std::optional<GpxRepair> RepairGpx(std::string_view text) {
    if (text.size() < kGpxHead.size()) {
        // Cut inside the head (or empty): written anew, if it is ours.
        if (kGpxHead.substr(0, text.size()) != text)
            return std::nullopt;
        return GpxRepair{0, GpxBegin("") + GpxEnd()};
    }
    if (text.substr(0, kGpxHead.size()) != kGpxHead || text.find("</gpx>") != text.npos)
        return std::nullopt;
    size_t segment = text.find(kSegmentOpen);
    if (segment == text.npos)
        return GpxRepair{0, GpxBegin("") + GpxEnd()};
    size_t keep = segment + kSegmentOpen.size();
    size_t last = text.rfind(kPointClose);
    if (last != text.npos && last >= keep)
        keep = last + kPointClose.size();
    return GpxRepair{keep, GpxEnd()};
}

std::string SrtCue(int number, int64_t startMs, int64_t endMs, std::string_view text) {
    auto stamp = [](int64_t ms) {
        ms = std::max<int64_t>(ms, 0);
        return Printf("%02lld:%02lld:%02lld,%03lld", static_cast<long long>(ms / 3600000),
                      static_cast<long long>(ms / 60000 % 60),
                      static_cast<long long>(ms / 1000 % 60), static_cast<long long>(ms % 1000));
    };
    // A blank line ends a cue: the text keeps none.
    std::string body;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.remove_suffix(1);
        if (!line.empty())
            body.append(line).push_back('\n');
        start = end + 1;
    }
    if (body.empty())
        body = " \n";
    return std::to_string(number) + "\n" + stamp(startMs) + " --> " + stamp(endMs) + "\n" + body +
           "\n";
}

std::string SrtText(const GpsSharedRecord* gps, const ObdSharedRecord* obd, uint32_t pids,
                    bool trip) {
    std::string text;
    if (gps && gps->FixValid) {
        const FixTimeUtc& t = gps->FixTime;
        if (ValidTime(t)) {
            text += Printf("%04u-%02u-%02u %02u:%02u:%02u UTC\n", t.Year, t.Month, t.Day, t.Hour,
                           t.Minute, t.Second);
        }
        double lat = gps->Latitude, lon = gps->Longitude;
        if (std::isfinite(lat) && std::isfinite(lon) && Finite(gps->SpeedKnots) &&
            Finite(gps->Heading)) {
            double kmh = std::clamp(gps->SpeedKnots * kKmhPerKnot, 0.0, 99999.0);
            text += Printf(
                "%.0f km/h (%.0f mph)  %.0f\xC2\xB0  %.5f\xC2\xB0 %c  %.5f\xC2\xB0 %c\n", kmh,
                kmh * kMilesPerKm, std::fmod(std::fabs(static_cast<double>(gps->Heading)), 360.0),
                std::fabs(lat), lat < 0 ? 'S' : 'N', std::fabs(lon), lon < 0 ? 'W' : 'E');
        }
    }
    if (obd) {
        std::string values;
        for (int pid = 0; pid < kObdPidSlots; ++pid) {
            if (!(pids & (1u << pid)))
                continue;
            std::string v = PidText(*obd, pid);
            if (!v.empty())
                values += (values.empty() ? "" : "  ") + v;
        }
        if (!values.empty())
            text += values + "\n";
        if (trip) {
            text +=
                Printf("odometer %.1f mi  trip %.2f mi  %.1f / %.1f mpg\n", obd->Odometer / 1000.0,
                       obd->TripDistance / 1000.0, obd->StMpg / 100.0, obd->LtMpg / 100.0);
        }
    }
    return text;
}

}  // namespace telemetry
