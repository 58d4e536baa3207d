// GPX points and SRT cues from the records, and the repair of a GPX cut off
// while it was written.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "telemetry/track_text.h"

namespace telemetry {
namespace {

GpsSharedRecord Fix() {
    GpsSharedRecord g{};
    g.FixValid = 1;
    g.FixTime = {2026, 6, 0, 14, 9, 30, 5, 250};
    g.Latitude = 48.1371f;
    g.Longitude = -11.5754f;
    g.Altitude = 519.3f;
    g.FixState = kFix3D;
    g.SatellitesUsed = 9;
    g.HorizontalDop = 1.1f;
    g.SpeedKnots = 10.0f;
    g.Heading = 72.0f;
    return g;
}

TEST(GpxText, PointsCarryTheFixAndNothingWithoutOne) {
    GpsSharedRecord g = Fix();
    // A GPX library reading back every point's values is the track files
    // check's; here the fields left out.
    std::string p = GpxPoint(g, g.FixTime);
    EXPECT_NE(p.find("<gpxtpx:speed>5.14</gpxtpx:speed>"), std::string::npos) << p;  // m/s
    EXPECT_EQ(p.find("<vdop>"), std::string::npos);                                  // not known

    GpsSharedRecord none = g;
    none.FixValid = 0;
    EXPECT_EQ(GpxPoint(none, g.FixTime), "");
    GpsSharedRecord nan = g;
    nan.Latitude = std::nanf("");
    EXPECT_EQ(GpxPoint(nan, g.FixTime), "");
    GpsSharedRecord odd = g;
    odd.Altitude = INFINITY;
    odd.FixTime = {};
    EXPECT_FALSE(HasFixTime(odd));
    p = GpxPoint(odd, odd.FixTime);
    EXPECT_EQ(p.find("<ele>"), std::string::npos);
    EXPECT_EQ(p.find("<time>"), std::string::npos);
    EXPECT_NE(GpxBegin("a<b & \"c\"\x01").find("<name>a&lt;b &amp; &quot;c&quot;</name>"),
              std::string::npos);
}

TEST(GpxText, ACutFileIsRepairedToItsLastWholePoint) {
    GpsSharedRecord g = Fix();
    std::string points[3];
    std::string doc = GpxBegin("drive");
    size_t pointEnds[3];
    for (int i = 0; i < 3; ++i) {
        g.Latitude += 0.001f;
        points[i] = GpxPoint(g, g.FixTime);
        doc += points[i];
        pointEnds[i] = doc.size();
    }
    for (size_t cut = 0; cut <= doc.size(); ++cut) {
        std::string_view part(doc.data(), cut);
        auto repair = RepairGpx(part);
        ASSERT_TRUE(repair.has_value()) << cut;
        ASSERT_LE(repair->keep, cut);
        std::string fixed = std::string(part.substr(0, repair->keep)) + repair->append;
        int whole = 0;
        for (size_t end : pointEnds)
            whole += end <= cut ? 1 : 0;
        size_t found = 0;
        for (size_t at = fixed.find("<trkpt"); at != fixed.npos; at = fixed.find("<trkpt", at + 1))
            ++found;
        EXPECT_EQ(found, static_cast<size_t>(whole)) << cut;
        EXPECT_EQ(fixed.compare(0, 5, "<?xml"), 0);
        EXPECT_EQ(fixed.substr(fixed.size() - GpxEnd().size()), GpxEnd());
    }
    EXPECT_FALSE(RepairGpx(doc + GpxEnd()).has_value());  // closed already
    EXPECT_FALSE(RepairGpx("<html>").has_value());
}

TEST(SrtText, CuesAndTheirText) {
    EXPECT_EQ(SrtCue(7, 3723004, 3724004, "a\n\n b\r\n"),
              "7\n01:02:03,004 --> 01:02:04,004\na\n b\n\n");
    EXPECT_EQ(SrtCue(1, -5, 0, ""), "1\n00:00:00,000 --> 00:00:00,000\n \n\n");

    GpsSharedRecord g = Fix();
    ObdSharedRecord o{};
    o.PidValues[kPidEngineRpm] = 0x1AF8;      // 1726 rpm
    o.PidValues[kPidVehicleSpeed] = 0x10048;  // readers use the low 16 bits: 72
    o.Odometer = 48213402;
    std::string text = SrtText(&g, &o, (1u << kPidEngineRpm) | (1u << kPidVehicleSpeed), true);
    EXPECT_NE(text.find("2026-06-14 09:30:05 UTC\n"), std::string::npos) << text;
    EXPECT_NE(text.find("19 km/h"), std::string::npos);
    EXPECT_NE(text.find("48.13710\xC2\xB0 N  11.57540\xC2\xB0 W"), std::string::npos);
    EXPECT_NE(text.find("1726 rpm  72 km/h\n"), std::string::npos);
    EXPECT_NE(text.find("odometer 48213.4 mi"), std::string::npos);
    EXPECT_EQ(SrtText(&g, &o, 0, false).find("rpm"), std::string::npos);
    g.FixValid = 0;
    EXPECT_EQ(SrtText(&g, nullptr, 0, false), "");
}

}  // namespace
}  // namespace telemetry
