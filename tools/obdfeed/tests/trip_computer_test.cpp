// Distance and fuel economy from speed and air flow readings, and the saved
// odometer.
#include <gtest/gtest.h>

#include "tools/obdfeed/trip_computer.h"

namespace obdfeed {
namespace {

constexpr double kMilesPerKm = 1 / 1.609344;

// Speed and air flow every half second, as a poll round brings them.
void Drive(TripComputer& trip, int kmh, double airGramsPerSecond, int64_t fromMs, int64_t toMs) {
    for (int64_t t = fromMs; t <= toMs; t += 500) {
        trip.OnReading(0x0D, static_cast<uint32_t>(kmh), t);
        trip.OnReading(0x10, static_cast<uint32_t>(airGramsPerSecond * 100 + 0.5), t + 250);
    }
}

TEST(TripComputer, DistanceFromSpeedOverTimeWithoutBridgingGaps) {
    TripComputer trip(48213.4);
    Drive(trip, 90, 15, 0, 60000);  // a minute at 90 km/h: 1.5 km
    EXPECT_NEAR(trip.tripMiles(), 1.5 * kMilesPerKm, 1e-6);
    EXPECT_NEAR(trip.odometerMiles(), 48213.4 + 1.5 * kMilesPerKm, 1e-6);
    // Readings ten seconds apart (the link dropped meanwhile) add nothing.
    trip.OnReading(0x0D, 90, 70000);
    EXPECT_NEAR(trip.tripMiles(), 1.5 * kMilesPerKm, 1e-6);
    // Nor across an interruption the feed reports.
    trip.OnReading(0x0D, 90, 71000);
    trip.Interrupt();
    trip.OnReading(0x0D, 90, 72000);
    EXPECT_NEAR(trip.tripMiles(), 1.5 * kMilesPerKm + 90.0 / 3600 * kMilesPerKm, 1e-6);

    telemetry::ObdSharedRecord r{};
    TripComputer worn(4294967.0);  // the record's limit is kept, not wrapped
    Drive(worn, 200, 50, 0, 600000);
    worn.Write(r);
    EXPECT_EQ(r.Odometer, 4294967295u);
}

TEST(TripComputer, FuelEconomyFromAirFlowAndSpeed) {
    // The well-known rule for petrol: MPG = 7.107 * km/h / (g/s of air).
    TripComputer trip(0);
    Drive(trip, 100, 20, 0, 120000);
    double expected = 7.107 * 100 / 20;
    EXPECT_NEAR(trip.shortTermMpg(), expected, expected * 0.01);
    EXPECT_NEAR(trip.longTermMpg(), expected, expected * 0.01);
    // Standing at the lights: nothing per gallon now, the trip's average holds
    // up for a while.
    Drive(trip, 0, 3, 120500, 150000);
    EXPECT_LT(trip.shortTermMpg(), 0.01);
    EXPECT_GT(trip.longTermMpg(), expected * 0.8);
    EXPECT_LT(trip.longTermMpg(), expected);
    // A long-term fuel trim of +10 % burns that much more.
    TripComputer rich(0);
    rich.OnReading(0x07, 128 + 13, 0);  // 13/128 = +10.2 %
    Drive(rich, 100, 20, 0, 60000);
    EXPECT_NEAR(rich.shortTermMpg(), expected / (1 + 13 / 128.0), expected * 0.01);

    telemetry::ObdSharedRecord r{};
    trip.Write(r);
    EXPECT_NEAR(r.LtMpg / 100.0, trip.longTermMpg(), 0.006);
    EXPECT_EQ(r.StMpg, 0);
}

TEST(OdometerFile, KeepsAReadingAndRefusesAnythingElse) {
    auto again = ParseOdometerFile(FormatOdometerFile(48213.402));
    ASSERT_TRUE(again.has_value());
    EXPECT_DOUBLE_EQ(*again, 48213.402);
    EXPECT_EQ(ParseOdometerFile("odometer_miles=12.5\r\n"), 12.5);
    for (const char* bad :
         {"", "odometer_miles=", "odometer_miles=-3", "odometer_miles=1e300",
          "odometer_miles=12 miles", "miles=12", "odometer_miles=nan", "\x01garbage"}) {
        EXPECT_FALSE(ParseOdometerFile(bad).has_value()) << bad;
    }
}

}  // namespace
}  // namespace obdfeed
