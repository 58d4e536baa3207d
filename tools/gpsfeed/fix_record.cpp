#include "tools/gpsfeed/fix_record.h"

#include <algorithm>

namespace gpsfeed {

namespace {

uint16_t U16(int v) {
    return static_cast<uint16_t>(std::clamp(v, 0, 65535));
}

uint8_t FixStateOf(const nmea::Fix& fix) {
    if (!fix.time.hasTime)
        return telemetry::kFixNoData;
    if (fix.mode >= 1 && fix.mode <= 3)
        return static_cast<uint8_t>(fix.mode);
    if (!fix.valid || fix.quality == 0)
        return telemetry::kFixNone;
    return telemetry::kFix3D;
}

}  // namespace

void WriteFix(const nmea::Fix& fix, telemetry::GpsSharedRecord& r) {
    r.FixTime = {};
    if (fix.time.hasTime && fix.time.hasDate) {
        r.FixTime.Year = U16(fix.time.year);
        r.FixTime.Month = U16(fix.time.month);
        r.FixTime.DayOfWeek = U16(nmea::DayOfWeek(fix.time.year, fix.time.month, fix.time.day));
        r.FixTime.Day = U16(fix.time.day);
        r.FixTime.Hour = U16(fix.time.hour);
        r.FixTime.Minute = U16(fix.time.minute);
        r.FixTime.Second = U16(fix.time.second);
        r.FixTime.Milliseconds = U16(fix.time.millisecond);
    }
    r.Latitude = static_cast<float>(fix.latitude);
    r.Longitude = static_cast<float>(fix.longitude);
    r.FixQuality = fix.quality;
    r.Altitude = static_cast<float>(fix.altitude);
    r.GeoidalSeparation = static_cast<float>(fix.geoidSeparation);
    r.PositionDop = static_cast<float>(fix.pdop);
    r.HorizontalDop = static_cast<float>(fix.hdop);
    r.VerticalDop = static_cast<float>(fix.vdop);
    r.SatellitesUsed = static_cast<uint8_t>(fix.satellitesUsed & 0xFF);
    r.FixState = FixStateOf(fix);
    r.SatellitesInView = static_cast<uint8_t>(fix.satellitesInView & 0xFF);
    for (int i = 0; i < fix.usedPrnCount && i < telemetry::kMaxSatellites; ++i) {
        r.UsedPrns[i] = fix.usedPrns[i];
    }
    for (size_t i = 0; i < fix.satellites.size() && i < telemetry::kMaxSatellites; ++i) {
        const auto& s = fix.satellites[i];
        r.Satellites[i] = {U16(s.prn), U16(s.elevation), U16(s.azimuth), U16(s.snr)};
    }
    r.SpeedKnots = static_cast<float>(fix.speedKnots);
    r.Heading = static_cast<float>(fix.courseDegrees);
    r.FixValid = fix.valid ? 1 : 0;
}

}  // namespace gpsfeed
