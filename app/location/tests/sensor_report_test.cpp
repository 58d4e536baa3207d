// The publisher's copy of a sensor report into the shared GPS record.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "app/location/sensor_report.h"

namespace vistrel {
namespace {

class FakeReport : public SensorReport {
  public:
    std::map<int, SensorValue> values;
    std::map<int, std::vector<uint8_t>> vectors;
    std::vector<int> order;
    int released = 0;

    void Number(int p, double v) { values[p] = {SensorValue::Kind::kNumber, v, nullptr, 0}; }
    void Bytes(int p, std::vector<uint8_t> v) {
        vectors[p] = std::move(v);
        values[p] = {SensorValue::Kind::kBytes, 0, vectors[p].data(), vectors[p].size()};
    }
    SensorValue Get(int property) override {
        order.push_back(property);
        auto it = values.find(property);
        return it == values.end() ? SensorValue{} : it->second;
    }
    void Release() override { ++released; }
};

FakeReport FullReport() {
    FakeReport f;
    f.Number(kLatitude, 52.52);
    f.Number(kLongitude, 13.405);
    f.Number(kAltitudeSeaLevel, 34.5);
    f.Number(kSpeedKnots, 12.25);
    f.Number(kTrueHeading, 181.5);
    f.Number(kPositionDop, 1.8);
    f.Number(kHorizontalDop, 0.9);
    f.Number(kVerticalDop, 1.5);
    f.Number(kFixQuality, 2);
    f.Number(kGeoidalSeparation, 39.1);
    f.Number(kSatellitesUsedCount, 9);
    f.Number(kSatellitesInView, 300);
    f.Bytes(kSatellitesUsedPrns, {3, 6, 9});
    std::vector<uint8_t> ids(15), snr(15);
    for (int i = 0; i < 15; ++i)
        ids[i] = static_cast<uint8_t>(i + 1), snr[i] = static_cast<uint8_t>(30 + i);
    f.Bytes(kSatellitesInViewId, ids);
    f.Bytes(kSatellitesInViewSnr, snr);
    f.Bytes(kSatellitesInViewAzimuth, {10, 20, 30, 40, 250});
    f.Bytes(kSatellitesInViewElevation, {5, 15, 25, 35, 45});
    return f;
}

TEST(SensorReportCopy, EveryFieldInItsOrderAndWidth) {
    FakeReport f = FullReport();
    telemetry::GpsSharedRecord r{};
    r.Satellites[7].Azimuth = 777;  // from an earlier tick
    CopySensorReport(f, r);
    // Which property lands in which field is the publisher test's, through
    // the platform's interfaces; here the widths and what is kept.
    EXPECT_EQ(r.FixValid, 1);
    EXPECT_FLOAT_EQ(r.Longitude, 13.405f);  // stored as the sensor gives it
    EXPECT_EQ(r.SatellitesInView, 44);      // 300 keeps its low 8 bits
    EXPECT_EQ(r.UsedPrns[2], 9);
    EXPECT_EQ(r.UsedPrns[3], 0);
    EXPECT_EQ(r.Satellites[11].Id, 12);  // 15 ids: the first twelve
    EXPECT_EQ(r.Satellites[11].SignalToNoise, 41);
    EXPECT_EQ(r.Satellites[4].Azimuth, 250);
    EXPECT_EQ(r.Satellites[7].Azimuth, 777);  // 5 azimuths: entry 7 keeps its old value
    EXPECT_EQ(r.Satellites[4].Elevation, 45);
    EXPECT_EQ(r.FixState, 0);
    EXPECT_EQ(r.FixTime.Year, 0);
    EXPECT_EQ(f.released, 5);  // after each vector
}

TEST(SensorReportCopy, ErrorLatitudeMarksNoFixAndTouchesNothingElse) {
    telemetry::GpsSharedRecord r{};
    FakeReport first = FullReport();
    CopySensorReport(first, r);
    telemetry::GpsSharedRecord before = r;
    FakeReport f;
    f.values[kLatitude] = {SensorValue::Kind::kError, 0, nullptr, 0};
    f.Number(kLongitude, 99);
    CopySensorReport(f, r);
    EXPECT_EQ(r.FixValid, 0);
    before.FixValid = 0;
    EXPECT_EQ(std::memcmp(&r, &before, sizeof(r)), 0);
    EXPECT_EQ(f.order.size(), 1u);
}

TEST(SensorReportCopy, MissingOrOddValuesLeaveTheirFields) {
    telemetry::GpsSharedRecord r{};
    FakeReport first = FullReport();
    CopySensorReport(first, r);
    FakeReport f;
    f.Number(kLatitude, 1e300);    // beyond float: the largest float
    f.Bytes(kSpeedKnots, {1, 2});  // a vector where a number belongs
    f.Number(kSatellitesUsedCount, -5);
    f.Number(kFixQuality, 1e20);  // no 32-bit integer
    f.values[kSatellitesInViewId] = {SensorValue::Kind::kBytes, 0, nullptr, 12};
    CopySensorReport(f, r);
    EXPECT_EQ(r.FixValid, 1);
    EXPECT_EQ(r.Latitude, std::numeric_limits<float>::max());
    EXPECT_FLOAT_EQ(r.Longitude, 13.405f);
    EXPECT_FLOAT_EQ(r.SpeedKnots, 12.25f);
    EXPECT_EQ(r.SatellitesUsed, 251);  // -5 as a byte, as the count's low 8 bits
    EXPECT_EQ(r.FixQuality, 2);
    EXPECT_EQ(r.Satellites[0].Id, 1);
}

}  // namespace
}  // namespace vistrel
