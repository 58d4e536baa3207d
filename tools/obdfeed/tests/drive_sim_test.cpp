// The simulated car stays within what a real engine reports, and its values
// reach the record in the encodings readers decode.
#include <gtest/gtest.h>

#include <limits>

#include "tools/obdfeed/drive_sim.h"

namespace obdfeed {
namespace {

TEST(DriveSimulator, ValuesStayPlausibleOverSeveralLoops) {
    DriveSimulator car;
    double maxSpeed = 0, maxRpm = 0;
    bool stoppedAgain = false;
    for (int i = 0; i < 5 * 900; ++i) {  // 15 minutes at 5 Hz
        car.Step(0.2);
        const EngineState& s = car.state();
        ASSERT_GE(s.speedKmh, 0);
        ASSERT_LE(s.speedKmh, 100);
        ASSERT_GE(s.rpm, 700);
        ASSERT_LE(s.rpm, 6500);
        ASSERT_GE(s.loadPercent, 0);
        ASSERT_LE(s.loadPercent, 100);
        ASSERT_GE(s.throttlePercent, 0);
        ASSERT_LE(s.throttlePercent, 100);
        ASSERT_LE(s.coolantC, 90.5);
        maxSpeed = std::max(maxSpeed, s.speedKmh);
        maxRpm = std::max(maxRpm, s.rpm);
        if (s.seconds > 300 && s.speedKmh == 0)
            stoppedAgain = true;
    }
    const EngineState& s = car.state();
    EXPECT_GT(maxSpeed, 80);
    EXPECT_GT(maxRpm, 2000);
    EXPECT_TRUE(stoppedAgain);
    EXPECT_GT(s.coolantC, 85);  // warmed up
    EXPECT_GT(s.tripMiles, 3);
    EXPECT_LT(s.tripMiles, 15);
    EXPECT_GT(s.averageMpg, 15);
    EXPECT_LT(s.averageMpg, 80);
    EXPECT_LT(s.fuelLevelPercent, 62);
    car.Step(-1);  // nonsense steps change nothing
    car.Step(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(car.state().seconds, s.seconds);
}

TEST(DriveSimulator, OnlyRequestedPidsAreWrittenInTheirEncodings) {
    EngineState s;
    s.rpm = 2500;
    s.speedKmh = 88;
    s.coolantC = 90;
    s.mafGramsPerSecond = 12.34;
    s.odometerMiles = 1000.5;
    s.instantMpg = 31.25;
    telemetry::ObdSharedRecord r{};
    r.PidValues[0x05] = 77;
    WriteRecord(s, (1u << 0x0C) | (1u << 0x0D) | (1u << 0x10), r);
    EXPECT_EQ(r.PidValues[0x0C], 10000u);  // quarter rpm
    EXPECT_EQ(r.PidValues[0x0D], 88u);
    EXPECT_EQ(r.PidValues[0x10], 1234u);  // hundredths of g/s
    EXPECT_EQ(r.PidValues[0x05], 77u);    // not requested: untouched
    EXPECT_EQ(r.Odometer, 1000500u);
    EXPECT_EQ(r.StMpg, 3125);
    EXPECT_EQ(EncodePid(s, 0x05), 130u);  // 90 C + 40
    EXPECT_EQ(EncodePid(s, 0x1F), 0u);
    s.rpm = 1e9;  // encodings saturate rather than wrap
    EXPECT_EQ(EncodePid(s, 0x0C), 65535u);
}

}  // namespace
}  // namespace obdfeed
