#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "filter/display_items.h"

namespace orvant {
namespace {

using telemetry::GpsSharedRecord;
using telemetry::ObdSharedRecord;

struct Records {
    GpsSharedRecord gps{};
    ObdSharedRecord obd{};
    char custom[64] = "Custom Text";
    ItemSources Sources() {
        ItemSources s;
        s.gps = &gps;
        s.obd = &obd;
        s.custom = custom;
        s.timeText = "14:05:09";
        s.dateText = "12/7/2026";
        s.milliseconds = 678;
        return s;
    }
};

std::string Text(int item, const ItemSources& sources, int slot = 0) {
    char buffer[128];
    const size_t n = FormatItemText(item, slot, sources, buffer, sizeof(buffer));
    EXPECT_EQ(n, std::strlen(buffer));
    return std::string(buffer, n);
}

Records Representative() {
    Records r;
    r.gps.FixValid = 1;
    r.gps.Heading = 90.0f;
    r.gps.SpeedKnots = 10.0f;
    r.gps.Altitude = 100.0f;
    r.gps.Latitude = -33.25f;
    r.gps.Longitude = -122.5f;
    auto setPid = [&r](int pid, uint32_t v) { r.obd.PidValues[pid] = v; };
    setPid(0x0D, 100);
    setPid(0x0C, 0x1AF8);
    setPid(0x04, 128);
    setPid(0x0E, 0);
    setPid(0x0F, 0);
    setPid(0x10, 1234);
    setPid(0x11, 255);
    setPid(0x0B, 100);
    setPid(0x06, 128);
    setPid(0x0A, 10);
    r.obd.StMpg = 2345;
    r.obd.LtMpg = 0;
    r.obd.Odometer = 123456;
    r.obd.TripDistance = 1500;
    return r;
}

TEST(DisplayItemText, EveryItemForRepresentativeRecords) {
    Records r = Representative();
    const ItemSources s = r.Sources();
    const char* expected[kDisplayItemCount] = {
        "",
        "90.0\xB0",
        "11.5 MPH",
        "18.5 KPH",
        "10.0 Knots",
        " E ",
        "328.1 ft",
        "100.0 M",
        "W122\xB0"
        "30'0.00\"",
        "S 33\xB0"
        "15'0.00\"",
        "14:05:09.67",
        "12/7/2026",
        "12/7/2026 14:05:09",
        " E  90.0\xB0",
        "Custom Text",
        "NNNNNNNN",
        "62.1 MPH",
        "100 KPH",
        "1726 RPM",
        "50% Load",
        "-64\xB0"
        "ADV",
        "-40.0\xB0"
        "F",
        "12.34 G/s",
        "100.0%",
        "29.5inHg",
        "0.000",
        "4.351psig",
        "23.45 MPG",
        "0.00 MPG",
        "123.456 Mi",
        "1.500 Mi",
    };
    for (int item = 0; item < kDisplayItemCount; ++item) {
        EXPECT_EQ(Text(item, s), expected[item]) << "item " << item << " " << DisplayItemName(item);
    }
    EXPECT_EQ(Text(kItemDirCourse, s, 4), "90.0\xB0  E ");
    EXPECT_EQ(Text(31, s), "");
    EXPECT_STREQ(DisplayItemName(31), "");
    EXPECT_EQ(RequestBits(31), 0u);
}

TEST(DisplayItemText, GpsItemsNeedAValidFixExceptDirCourseAndSignal) {
    Records r = Representative();
    r.gps.FixValid = 0;
    const ItemSources s = r.Sources();
    for (int item = kItemCourse; item <= kItemLatitude; ++item) {
        EXPECT_EQ(Text(item, s), "") << item;
    }
    EXPECT_EQ(Text(kItemDirCourse, s), " E  90.0\xB0");
    EXPECT_EQ(Text(kItemSatSignal, s), "NNNNNNNN");
    EXPECT_EQ(Text(kItemTime, s), "14:05:09.67");
}

// Items whose record is absent draw nothing: the composition test's, and the
// overlay filter test's through the pin.
TEST(DisplayItemText, ExtremeRecordValuesStayInTheBuffer) {
    Records r = Representative();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (float v : {nan, inf, -inf, 3.4e38f, -3.4e38f, 1e10f}) {
        r.gps.Heading = v;
        r.gps.SpeedKnots = v;
        r.gps.Altitude = v;
        r.gps.Latitude = v;
        r.gps.Longitude = v;
        const ItemSources s = r.Sources();
        for (int item = 1; item <= kItemSatSignal; ++item) {
            char small[8];
            const size_t n = FormatItemText(item, 0, s, small, sizeof(small));
            EXPECT_LT(n, sizeof(small));
            EXPECT_EQ(n, std::strlen(small));
            EXPECT_LT(Text(item, s).size(), 128u);
        }
    }
    std::memset(r.custom, 'Q', sizeof(r.custom));  // written without a terminator
    EXPECT_EQ(Text(kItemCustom, r.Sources()), std::string(64, 'Q'));
    for (auto& v : r.obd.PidValues)
        v = 0xFFFFFFFF;
    r.obd.Odometer = 0xFFFFFFFF;
    r.obd.StMpg = 0xFFFF;
    const ItemSources s = r.Sources();
    EXPECT_EQ(Text(kItemObdRpm, s), "16383 RPM") << "only the low 16 bits count";
    EXPECT_EQ(Text(kItemObdKph, s), "65535 KPH");
    EXPECT_EQ(Text(kItemObdStMpg, s), "655.35 MPG");
    EXPECT_EQ(Text(kItemObdOdometer, s), "4294967.500 Mi") << "single-precision scale";
    char one[1];
    EXPECT_EQ(FormatItemText(kItemObdRpm, 0, s, one, 1), 0u);
    EXPECT_EQ(one[0], '\0');
}

TEST(CompassPoint, BoundariesAndWrapping) {
    EXPECT_STREQ(CompassPoint(11.25f), " N ");
    EXPECT_STREQ(CompassPoint(11.26f), "NNE");
    EXPECT_STREQ(CompassPoint(337.6f), "NNW");
    EXPECT_STREQ(CompassPoint(360.0f), " N ");
    EXPECT_STREQ(CompassPoint(-12.0f), " N ") << "truncation toward zero";
    EXPECT_STREQ(CompassPoint(-34.0f), "NNW") << "a negative remainder wraps";
    EXPECT_STREQ(CompassPoint(720.0f + 90.0f), " E ");
    EXPECT_EQ(std::strlen(CompassPoint(3.0e38f)), 3u);
    EXPECT_STREQ(CompassPoint(std::numeric_limits<float>::infinity()), "");
}

TEST(FormatDegrees, HemispheresAndFields) {
    char b[128];
    FormatDegrees(8.0 + 1.0 / 60 + 1.5 / 3600, false, b, sizeof(b));
    EXPECT_STREQ(b, "E  8\xB0 1'1.50\"") << "positive longitude lies east";
    FormatDegrees(0.0, true, b, sizeof(b));
    EXPECT_STREQ(b, "N  0\xB0 0'0.00\"");
    EXPECT_EQ(FormatDegrees(std::nan(""), true, b, sizeof(b)), 0u);
    EXPECT_STREQ(b, "");
    EXPECT_EQ(FormatDegrees(5e9, true, b, sizeof(b)), 0u);
}

TEST(TimeText, HundredthsAndSuffix) {
    char b[128];
    MakeTimeText("14:05:09", 678, b, sizeof(b));
    EXPECT_STREQ(b, "14:05:09.67");
    MakeTimeText("2:05:09 PM", 678, b, sizeof(b));
    EXPECT_STREQ(b, "2:05:09.67 PM");
    MakeTimeText("", 5, b, sizeof(b));
    EXPECT_STREQ(b, ".00");
    const std::string longTime(60, '9');
    EXPECT_EQ(MakeTimeText(longTime.c_str(), 1234567, b, sizeof(b)), 26u)
        << "time text cut at 23 characters, then the hundredths";
    EXPECT_LE(std::strlen(b), 31u);
}

}  // namespace
}  // namespace orvant
