// The NMEA reader against good, damaged and unusual sentences, and the bundled track.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>

#include "tools/gpsfeed/fix_record.h"
#include "tools/gpsfeed/nmea.h"

namespace nmea {
namespace {

std::string WithChecksum(const std::string& body) {
    unsigned sum = 0;
    for (char c : body)
        sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof(tail), "*%02X", sum);
    return "$" + body + tail;
}

TEST(NmeaFraming, ChecksumsAndFramingAreChecked) {
    std::string type;
    std::vector<std::string_view> fields;
    std::string good =
        WithChecksum("GPGGA,093000.00,4808.2260,N,01134.5240,E,1,09,1.1,519.3,M,47.6,M,,");
    std::string withEnd = good + "\r\n";
    EXPECT_EQ(SplitSentence(withEnd, type, fields), LineResult::kAccepted);
    EXPECT_EQ(type, "GGA");
    ASSERT_EQ(fields.size(), 14u);
    EXPECT_EQ(fields[0], "093000.00");
    EXPECT_EQ(fields[13], "");

    std::string lower = good;
    lower[lower.size() - 1] = static_cast<char>(std::tolower(lower.back()));
    EXPECT_EQ(SplitSentence(lower, type, fields), LineResult::kAccepted);  // hex in either case

    std::string flipped = good;
    flipped[10] = flipped[10] == '1' ? '2' : '1';
    EXPECT_EQ(SplitSentence(flipped, type, fields), LineResult::kBadChecksum);
    EXPECT_EQ(SplitSentence(good.substr(0, good.size() - 3), type, fields),
              LineResult::kBadChecksum);
    EXPECT_EQ(SplitSentence(good.substr(0, good.size() - 1), type, fields),
              LineResult::kBadChecksum);
    EXPECT_EQ(SplitSentence(good.substr(1), type, fields), LineResult::kBadFraming);
    EXPECT_EQ(SplitSentence("$GPGGA\x01,1*00", type, fields), LineResult::kBadFraming);
    EXPECT_EQ(SplitSentence("$" + std::string(200, 'A') + "*00", type, fields),
              LineResult::kBadFraming);
    EXPECT_EQ(SplitSentence(WithChecksum("GPGGAX,1"), type, fields), LineResult::kBadFraming);
    EXPECT_EQ(SplitSentence("  \r\n", type, fields), LineResult::kBlank);
}

TEST(NmeaReader, FoldsOneSecondOfSentencesIntoAFix) {
    Reader r;
    EXPECT_EQ(
        r.Feed(WithChecksum("GPRMC,235959.50,A,4807.0380,N,01131.0000,W,22.4,084.4,311226,,,A")),
        LineResult::kAccepted);
    EXPECT_EQ(
        r.Feed(WithChecksum("GPGGA,235959.50,4807.0380,N,01131.0000,W,1,08,0.9,545.4,M,-46.9,M,,")),
        LineResult::kAccepted);
    EXPECT_EQ(r.Feed(WithChecksum("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1")),
              LineResult::kAccepted);
    EXPECT_EQ(
        r.Feed(WithChecksum("GPGSV,2,1,05,04,40,083,46,05,17,308,41,09,07,344,39,12,77,000,44")),
        LineResult::kAccepted);
    EXPECT_EQ(r.Feed(WithChecksum("GPGSV,2,2,05,24,25,110,,1")), LineResult::kAccepted);
    EXPECT_EQ(r.Feed(WithChecksum("GPVTG,084.4,T,,M,22.4,N,41.5,K,A")), LineResult::kIgnored);
    EXPECT_FALSE(r.HasCompletedEpoch());

    // Each value landing in its record field is the serial scenario's check,
    // against every sentence a receiver sends; here what it does not send.
    const Fix& f = r.current();
    EXPECT_TRUE(f.valid);
    EXPECT_NEAR(f.longitude, -(11 + 31.0 / 60), 1e-9);  // west is negative
    EXPECT_DOUBLE_EQ(f.geoidSeparation, -46.9);
    ASSERT_EQ(f.satellites.size(), 5u);
    EXPECT_EQ(f.satellites[4].snr, 0);  // tracked without a signal value
    EXPECT_EQ(f.time.millisecond, 500);

    // The next second closes the epoch; the date rolls over at midnight and
    // into the new year even before the next RMC says so.
    EXPECT_EQ(
        r.Feed(WithChecksum("GPGGA,000000.50,4807.0390,N,01131.0000,W,1,08,0.9,545.4,M,-46.9,M,,")),
        LineResult::kAccepted);
    ASSERT_TRUE(r.HasCompletedEpoch());
    Fix done = r.TakeCompletedEpoch();
    EXPECT_EQ(done.time.year, 2026);
    EXPECT_EQ(done.time.day, 31);
    EXPECT_EQ(r.current().time.year, 2027);
    EXPECT_EQ(r.current().time.month, 1);
    EXPECT_EQ(r.current().time.day, 1);
}

TEST(NmeaReader, DamagedSentencesAreSkippedAndCounted) {
    Reader r;
    r.Feed(WithChecksum("GPRMC,120000,A,5130.0000,N,00007.0000,W,5.0,90.0,010626,,,A"));
    Fix before = r.current();
    const char* bad[] = {
        "GPRMC,120001,A,5130.0000,N",                                   // truncated
        "GPRMC,126001,A,5130.0000,N,00007.0000,W,5.0,90.0,010626,,,A",  // minute 60
        "GPRMC,120001,A,9130.0000,N,00007.0000,W,5.0,90.0,010626,,,A",  // beyond the pole
        "GPRMC,120001,A,,,,,5.0,90.0,010626,,,A",                       // valid without a position
        "GPGGA,120001,5130.0000,N,00007.0000,W,,08,0.9,10,M,0,M,,",     // no quality
        "GPGSV,2,3,05,04,40,083,46",                                    // message 3 of 2
        "GPGSV,1,1,01,04,40,083",                                       // half a group
    };
    for (const char* body : bad) {
        EXPECT_EQ(r.Feed(WithChecksum(body)), LineResult::kBadFields) << body;
    }
    EXPECT_EQ(r.Feed("$GPRMC,120001,A*00"), LineResult::kBadChecksum);
    EXPECT_EQ(r.bad(), static_cast<int>(std::size(bad)) + 1);
    EXPECT_FALSE(r.HasCompletedEpoch());
    EXPECT_EQ(r.current().latitude, before.latitude);
    EXPECT_EQ(r.current().time.second, 0);
}

TEST(NmeaReader, EmptyFieldsKeepWhatIsKnownAndNoFixIsReported) {
    Reader r;
    r.Feed(WithChecksum("GPGGA,080000,4000.0000,N,07400.0000,W,1,05,1.2,30.0,M,-34.0,M,,"));
    EXPECT_EQ(r.Feed(WithChecksum("GPGGA,080001,,,,,0,00,,,M,,M,,")), LineResult::kAccepted);
    EXPECT_FALSE(r.current().valid);
    EXPECT_EQ(r.current().quality, 0);
    EXPECT_DOUBLE_EQ(r.current().latitude, 40.0);  // last position stays
    EXPECT_DOUBLE_EQ(r.current().altitude, 30.0);
    EXPECT_EQ(r.Feed(WithChecksum("GPRMC,080002,V,,,,,,,010626,,,N")), LineResult::kAccepted);
    EXPECT_FALSE(r.current().valid);
    EXPECT_TRUE(r.current().time.hasDate);
}

TEST(NmeaCalendar, DaysAndRollover) {
    EXPECT_EQ(DayOfWeek(2000, 2, 29), 2);  // a Tuesday
    int y = 2028, m = 2, d = 28;
    AddOneDay(y, m, d);
    EXPECT_EQ(m * 100 + d, 229);
    AddOneDay(y, m, d);
    EXPECT_EQ(m * 100 + d, 301);
    y = 2100, m = 2, d = 28;
    AddOneDay(y, m, d);
    EXPECT_EQ(m * 100 + d, 301);  // 2100 is not a leap year
    UtcTime a{}, b{};
    a.hour = 23, a.minute = 59, a.second = 59;
    b.hour = 0, b.minute = 0, b.second = 1;
    EXPECT_EQ(SecondsOfDayDelta(a, b), 2);
    EXPECT_EQ(SecondsOfDayDelta(b, a), -2);
}

TEST(NmeaReader, TalkersAndConstellationsAddUp) {
    Reader r;
    // A multi-constellation receiver: GN for the combined fix, one GSA per
    // system, GSV series per talker (GPS twice: L1 and L5 signals), and a
    // maker's own sentence. Its GSV comes before the RMC of the next second.
    const char* second[] = {
        "GNRMC,120000.00,A,5130.0000,N,00007.0000,W,5.0,90.0,010626,,,A",
        "GNGGA,120000.00,5130.0000,N,00007.0000,W,1,05,0.8,35.0,M,47.0,M,,",
        "GNGSA,A,3,02,05,,,,,,,,,,,1.5,0.8,1.2,1",
        "GNGSA,A,3,65,66,67,,,,,,,,,,1.5,0.8,1.2,2",
        "PUBX,00,120000.00,5130.0000,N",
        "GPGSV,1,1,02,02,62,041,44,05,35,118,30,1",
        "GPGSV,1,1,02,02,62,041,40,05,35,118,28,8",
        "GLGSV,1,1,03,65,20,010,33,66,30,020,34,67,40,030,35,1",
        "BDGSV,1,1,01,11,50,100,41,1",
    };
    for (int round = 0; round < 2; ++round) {
        for (const char* body : second) {
            EXPECT_NE(r.Feed(WithChecksum(body)), LineResult::kBadFraming) << body;
        }
        r.Feed(WithChecksum("GNRMC,120001.00,A,5130.0001,N,00007.0000,W,5.0,90.0,010626,,,A"));
    }
    EXPECT_EQ(r.bad(), 0);
    const Fix& f = r.current();
    EXPECT_TRUE(f.valid);
    EXPECT_EQ(f.usedPrnCount, 5);
    EXPECT_EQ(f.usedPrns[4], 67);
    EXPECT_EQ(f.satellitesInView, 6);  // 2 GPS (listed twice), 3 GLONASS, 1 BeiDou
    ASSERT_EQ(f.satellites.size(), 6u);
    EXPECT_EQ(f.satellites[2].prn, 65);
    EXPECT_EQ(f.satellites[5].snr, 41);
}

TEST(NmeaRecord, FixFillsTheSharedRecord) {
    Reader r;
    r.Feed(WithChecksum("GPRMC,101530.25,A,4807.0380,N,01131.0000,E,10.0,359.0,070626,,,A"));
    r.Feed(WithChecksum("GPGGA,101530.25,4807.0380,N,01131.0000,E,2,14,0.9,545.4,M,46.9,M,,"));
    r.Feed(WithChecksum("GPGSV,1,1,01,04,40,083,46"));
    telemetry::GpsSharedRecord rec{};
    rec.PublisherActive = 1;
    rec.UserCount = 2;
    rec.Signature = telemetry::kGpsSignature;
    gpsfeed::WriteFix(r.current(), rec);
    EXPECT_EQ(rec.FixValid, 1);
    EXPECT_EQ(rec.FixTime.DayOfWeek, 0);  // a Sunday
    EXPECT_EQ(rec.FixTime.Milliseconds, 250);
    // Fields the publisher does not own are left alone.
    EXPECT_EQ(rec.PublisherActive, 1);
    EXPECT_EQ(rec.UserCount, 2);
    EXPECT_EQ(rec.Signature, telemetry::kGpsSignature);
}

TEST(NmeaTrack, BundledDriveIsCleanAndFourMinutesLong) {
    std::ifstream in(VISTREL_SOURCE_DIR "/data/tracks/city-drive.nmea", std::ios::binary);
    ASSERT_TRUE(in) << "bundled track missing";
    Reader r;
    std::string line;
    int epochs = 0;
    double maxKnots = 0;
    while (std::getline(in, line)) {
        r.Feed(line);
        if (r.HasCompletedEpoch()) {
            Fix f = r.TakeCompletedEpoch();
            ++epochs;
            maxKnots = std::max(maxKnots, f.speedKnots);
            ASSERT_TRUE(f.valid);
            ASSERT_EQ(f.satellites.size(), 11u);
        }
    }
    EXPECT_EQ(r.bad(), 0);
    EXPECT_EQ(epochs + 1, 240);
    EXPECT_GT(maxKnots, 35.0);  // it does get onto the faster road
}

}  // namespace
}  // namespace nmea
