#include "app/location/sensor_report.h"

#include <cmath>
#include <limits>

namespace vistrel {

namespace {

// Doubles are stored as float32; a value beyond float's range becomes the
// largest float of its sign rather than infinity.
void StoreFloat(const SensorValue& v, float& field) {
    if (v.kind != SensorValue::Kind::kNumber)
        return;
    double d = v.number;
    constexpr double kMax = std::numeric_limits<float>::max();
    if (d > kMax)
        d = kMax;
    if (d < -kMax)
        d = -kMax;
    field = static_cast<float>(d);
}

// The integer value of a count or quality, as the platform's 32-bit integer.
bool ToInt32(const SensorValue& v, int32_t& out) {
    if (v.kind != SensorValue::Kind::kNumber || !std::isfinite(v.number))
        return false;
    double d = std::trunc(v.number);
    if (d >= 0 && d <= 4294967295.0) {
        out = static_cast<int32_t>(static_cast<uint32_t>(d));
        return true;
    }
    if (d < 0 && d >= -2147483648.0) {
        out = static_cast<int32_t>(d);
        return true;
    }
    return false;
}

template <typename Member>
void StoreVector(SensorReport& report, int property, telemetry::GpsSharedRecord& r, Member member) {
    SensorValue v = report.Get(property);
    if (v.kind == SensorValue::Kind::kBytes && v.bytes != nullptr) {
        size_t n = v.count < telemetry::kMaxSatellites ? v.count : telemetry::kMaxSatellites;
        for (size_t i = 0; i < n; ++i)
            r.Satellites[i].*member = v.bytes[i];
    }
    report.Release();
}

}  // namespace

void CopySensorReport(SensorReport& report, telemetry::GpsSharedRecord& r) {
    r.FixValid = 1;
    SensorValue latitude = report.Get(kLatitude);
    if (latitude.kind == SensorValue::Kind::kError) {
        r.FixValid = 0;
        return;
    }
    StoreFloat(latitude, r.Latitude);
    StoreFloat(report.Get(kLongitude), r.Longitude);
    StoreFloat(report.Get(kAltitudeSeaLevel), r.Altitude);
    StoreFloat(report.Get(kSpeedKnots), r.SpeedKnots);
    StoreFloat(report.Get(kTrueHeading), r.Heading);
    StoreFloat(report.Get(kPositionDop), r.PositionDop);
    StoreFloat(report.Get(kHorizontalDop), r.HorizontalDop);
    StoreFloat(report.Get(kVerticalDop), r.VerticalDop);
    int32_t n = 0;
    if (ToInt32(report.Get(kFixQuality), n))
        r.FixQuality = n;
    StoreFloat(report.Get(kGeoidalSeparation), r.GeoidalSeparation);
    if (ToInt32(report.Get(kSatellitesUsedCount), n))
        r.SatellitesUsed = static_cast<uint8_t>(n & 0xFF);
    if (ToInt32(report.Get(kSatellitesInView), n))
        r.SatellitesInView = static_cast<uint8_t>(n & 0xFF);

    SensorValue prns = report.Get(kSatellitesUsedPrns);
    if (prns.kind == SensorValue::Kind::kBytes && prns.bytes != nullptr) {
        size_t count =
            prns.count < telemetry::kMaxSatellites ? prns.count : telemetry::kMaxSatellites;
        for (size_t i = 0; i < count; ++i)
            r.UsedPrns[i] = prns.bytes[i];
    }
    report.Release();
    StoreVector(report, kSatellitesInViewId, r, &telemetry::SatelliteEntry::Id);
    StoreVector(report, kSatellitesInViewSnr, r, &telemetry::SatelliteEntry::SignalToNoise);
    StoreVector(report, kSatellitesInViewAzimuth, r, &telemetry::SatelliteEntry::Azimuth);
    StoreVector(report, kSatellitesInViewElevation, r, &telemetry::SatelliteEntry::Elevation);
}

}  // namespace vistrel
