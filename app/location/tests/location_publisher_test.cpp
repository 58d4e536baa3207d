// The location publisher through the real COM path under Wine: the test
// sensor manager (registered in this test's prefix only) serves GPS sensors
// whose reports this test sets through the shared feed, and the shared GPS
// record is read back as the overlay filter reads it.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include "app/location/location_publisher.h"
#include "app/location/tests/sensor_feed.h"
#include "common/win_handle.h"
#include "telemetry/attach.h"
#include "tests/support/child_process.h"

namespace vistrel {
namespace {

using sensortest::Kind;
using telemetry::GpsSharedRecord;

// Property numbers of the location format.
enum : int {
    kLat = 2,
    kLon = 3,
    kAlt = 4,
    kSpeed = 6,
    kHeading = 7,
    kFixQuality = 10,
    kPdop = 12,
    kHdop = 13,
    kVdop = 14,
    kUsedCount = 15,
    kUsedPrns = 16,
    kInView = 17,
    kElevation = 19,
    kAzimuth = 20,
    kSnr = 21,
    kGeoid = 34,
    kIds = 39,
};

// The test's side of the feed the sensor manager reads.
class Feed {
  public:
    Feed() {
        mapping_.reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                          sizeof(sensortest::Feed), sensortest::kFeedName));
        if (mapping_)
            view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
        if (view_) {
            *feed() = sensortest::Feed{};
            feed()->magic = sensortest::kFeedMagic;
            feed()->sensorCount = 1;
        }
    }
    bool ok() const { return view_.get() != nullptr; }
    sensortest::Feed* feed() const { return static_cast<sensortest::Feed*>(view_.get()); }

    sensortest::Value& At(int sensor, int property) {
        return feed()->sensors[sensor].values[property];
    }
    void Number(int sensor, int property, double v, Kind kind = Kind::kDouble) {
        At(sensor, property) = sensortest::Value{static_cast<uint8_t>(kind), 0, {}, v, {}};
    }
    void Error(int sensor, int property) {
        At(sensor, property) = sensortest::Value{static_cast<uint8_t>(Kind::kError), 0, {}, 0, {}};
    }
    // A vector of `count` bytes first, first + 1, ...
    void Bytes(int sensor, int property, int count, uint8_t first) {
        sensortest::Value v{static_cast<uint8_t>(Kind::kBytes), static_cast<uint8_t>(count)};
        for (int i = 0; i < count; ++i)
            v.bytes[i] = static_cast<uint8_t>(first + i);
        At(sensor, property) = v;
    }
    // Every value the publisher reads, with vectors of `count` elements.
    void FullFix(int sensor, double latitude, int count = 12) {
        Number(sensor, kLat, latitude);
        Number(sensor, kLon, 8.5);
        Number(sensor, kAlt, 410.5);
        Number(sensor, kSpeed, 31.5);
        Number(sensor, kHeading, 270.25);
        Number(sensor, kPdop, 1.5);
        Number(sensor, kHdop, 0.75);
        Number(sensor, kVdop, 1.25);
        Number(sensor, kFixQuality, 2, Kind::kInt32);
        Number(sensor, kGeoid, 48.5);
        Number(sensor, kUsedCount, 7, Kind::kInt32);
        Number(sensor, kInView, 9, Kind::kInt32);
        Bytes(sensor, kUsedPrns, count, 1);
        Bytes(sensor, kIds, count, 21);
        Bytes(sensor, kSnr, count, 41);
        Bytes(sensor, kAzimuth, count, 61);
        Bytes(sensor, kElevation, count, 81);
    }

  private:
    UniqueHandle mapping_;
    UniqueView view_;
};

class LocationPublisherTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ASSERT_EQ(testsupport::Regsvr32("test_sensor_manager.dll", "/s"), 0);
    }
    static void TearDownTestSuite() {
        testsupport::Regsvr32("test_sensor_manager.dll", "/u /s");
        CoUninitialize();
    }
    void SetUp() override { ASSERT_TRUE(feed.ok()); }
    void TearDown() override { CloseLocationPublisher(); }

    // Opens the publisher and attaches a reader, as the overlay filter would.
    void Open() {
        OpenLocationPublisher();
        ASSERT_TRUE(LocationPublisherRunning());
        reader.Poll();
        ASSERT_TRUE(reader.hasGps());
    }
    GpsSharedRecord Tick() {
        PollLocationSensor();
        return Record();
    }
    GpsSharedRecord Record() {
        GpsSharedRecord r{};
        EXPECT_TRUE(telemetry::SnapshotGps(reader.gps(), r));
        return r;
    }

    Feed feed;
    telemetry::TelemetryReader reader;
};

TEST_F(LocationPublisherTest, CopiesEveryValueOfTheReport) {
    feed.FullFix(0, 47.25);
    Open();
    GpsSharedRecord r = Record();
    EXPECT_EQ(r.PublisherActive, 1);
    EXPECT_EQ(r.UserCount, 2);  // the publisher and this reader
    EXPECT_EQ(r.Signature, telemetry::kGpsSignature);
    EXPECT_EQ(r.FixValid, 0);  // nothing polled yet

    r = Tick();
    EXPECT_EQ(r.FixValid, 1);
    EXPECT_FLOAT_EQ(r.Latitude, 47.25f);
    EXPECT_FLOAT_EQ(r.Longitude, 8.5f);
    EXPECT_FLOAT_EQ(r.Altitude, 410.5f);
    EXPECT_FLOAT_EQ(r.SpeedKnots, 31.5f);
    EXPECT_FLOAT_EQ(r.Heading, 270.25f);
    EXPECT_FLOAT_EQ(r.PositionDop, 1.5f);
    EXPECT_FLOAT_EQ(r.HorizontalDop, 0.75f);
    EXPECT_FLOAT_EQ(r.VerticalDop, 1.25f);
    EXPECT_EQ(r.FixQuality, 2);
    EXPECT_FLOAT_EQ(r.GeoidalSeparation, 48.5f);
    EXPECT_EQ(r.SatellitesUsed, 7);
    EXPECT_EQ(r.SatellitesInView, 9);
    for (int i = 0; i < telemetry::kMaxSatellites; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r.UsedPrns[i], 1 + i);
        EXPECT_EQ(r.Satellites[i].Id, 21 + i);
        EXPECT_EQ(r.Satellites[i].SignalToNoise, 41 + i);
        EXPECT_EQ(r.Satellites[i].Azimuth, 61 + i);
        EXPECT_EQ(r.Satellites[i].Elevation, 81 + i);
    }
    // Never written by this publisher.
    EXPECT_EQ(r.FixState, 0);
    EXPECT_EQ(r.FixTime.Year, 0);

    // Each tick reads the sensor afresh.
    feed.Number(0, kLat, -33.5);
    feed.Number(0, kSpeed, 12);
    r = Tick();
    EXPECT_FLOAT_EQ(r.Latitude, -33.5f);
    EXPECT_FLOAT_EQ(r.SpeedKnots, 12.0f);

    // At exit: speed 0, publisher gone, the last position kept for readers.
    CloseLocationPublisher();
    EXPECT_FALSE(LocationPublisherRunning());
    r = Record();
    EXPECT_EQ(r.PublisherActive, 0);
    EXPECT_EQ(r.SpeedKnots, 0.0f);
    EXPECT_EQ(r.UserCount, 1);
    EXPECT_FLOAT_EQ(r.Latitude, -33.5f);
    EXPECT_FLOAT_EQ(r.Heading, 270.25f);
}

TEST_F(LocationPublisherTest, TheLastSensorOfTheCollectionIsUsed) {
    feed.feed()->sensorCount = 2;
    feed.FullFix(0, 10.0);
    feed.FullFix(1, 20.0);
    Open();
    EXPECT_FLOAT_EQ(Tick().Latitude, 20.0f);
    feed.Number(0, kLat, 11.0);
    EXPECT_FLOAT_EQ(Tick().Latitude, 20.0f);
}

// Which fields a report with missing, odd or too many values changes, and that
// an error latitude writes nothing else, is the native sensor report test's;
// here the two ways the platform reports no fix.
TEST_F(LocationPublisherTest, ABadTickLeavesTheRecordAsItWas) {
    feed.FullFix(0, 47.25);
    Open();
    ASSERT_EQ(Tick().FixValid, 1);

    // Latitude as an error value: FixValid 0, the position kept.
    feed.Error(0, kLat);
    GpsSharedRecord r = Tick();
    EXPECT_EQ(r.FixValid, 0);
    EXPECT_FLOAT_EQ(r.Latitude, 47.25f);

    // No report at all: the same.
    feed.FullFix(0, 5.0);
    feed.feed()->sensors[0].noReport = 1;
    r = Tick();
    EXPECT_EQ(r.FixValid, 0);
    EXPECT_FLOAT_EQ(r.Latitude, 47.25f);
}

TEST_F(LocationPublisherTest, WithoutAGpsSensorNothingIsPublished) {
    feed.feed()->sensorCount = 0;
    OpenLocationPublisher();
    EXPECT_FALSE(LocationPublisherRunning());
    EXPECT_FALSE(telemetry::SharedBlock::Exists(telemetry::kGpsBlockName));
    PollLocationSensor();  // harmless while off
    CloseLocationPublisher();

    // A feed that is not of the manager's layout counts as no sensor.
    feed.feed()->sensorCount = 1;
    feed.feed()->magic = 0;
    OpenLocationPublisher();
    EXPECT_FALSE(LocationPublisherRunning());
    EXPECT_FALSE(telemetry::SharedBlock::Exists(telemetry::kGpsBlockName));
}

}  // namespace
}  // namespace vistrel
