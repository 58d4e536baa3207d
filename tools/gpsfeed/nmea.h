// NMEA 0183 reader for recorded logs and live receivers: RMC, GGA, GSA and GSV
// sentences of any talker (GP, GN, GL, GA, GB, BD, ...) are checked (framing,
// checksum, field syntax and ranges) and folded into one running fix. Bad
// sentences are skipped and counted; nothing is fatal. Portable: no windows.h.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nmea {

enum class LineResult {
    kAccepted,     // a known sentence, folded into the fix
    kIgnored,      // well-formed, but a sentence type this reader does not use
    kBlank,        // empty line
    kBadFraming,   // no '$', no '*', too long, or bytes outside printable ASCII
    kBadChecksum,  // missing or wrong checksum
    kBadFields,    // too few fields, or a field that is not what it must be
};

struct UtcTime {
    int year = 0, month = 0, day = 0;  // year with century; 0 while no date is known
    int hour = 0, minute = 0, second = 0, millisecond = 0;
    bool hasTime = false;
    bool hasDate = false;
};

struct SatelliteInView {
    int prn = 0, elevation = 0, azimuth = 0, snr = 0;
};

struct Fix {
    UtcTime time;
    bool valid = false;                  // RMC status A and, when known, GGA quality above 0
    double latitude = 0, longitude = 0;  // degrees, north and east positive
    double speedKnots = 0, courseDegrees = 0;
    double altitude = 0, geoidSeparation = 0;
    int quality = 0;         // GGA fix quality
    int satellitesUsed = 0;  // GGA count
    double pdop = 0, hdop = 0, vdop = 0;
    int mode = 0;  // GSA: 1 no fix, 2 2D, 3 3D; 0 before any GSA
    std::array<uint8_t, 12> usedPrns{};
    int usedPrnCount = 0;
    int satellitesInView = 0;
    std::vector<SatelliteInView> satellites;  // at most the first twelve
};

// Splits a checked sentence into its type ("RMC", talker removed) and fields.
// A proprietary sentence ("$PUBX,...") keeps its whole address as its type and
// has no talker.
LineResult SplitSentence(std::string_view line, std::string& type,
                         std::vector<std::string_view>& fields, std::string* talker = nullptr);

// Folds sentences of a log into a fix, one epoch (one time of fix) at a time.
class Reader {
  public:
    // Feeds one line. When it starts a new epoch, the fix of the epoch before
    // becomes available through TakeCompletedEpoch().
    LineResult Feed(std::string_view line);
    bool HasCompletedEpoch() const { return completedReady_; }
    Fix TakeCompletedEpoch() {
        completedReady_ = false;
        return completed_;
    }
    // The epoch being read (for the end of a log).
    const Fix& current() const { return fix_; }
    bool started() const { return fix_.time.hasTime; }
    int bad() const { return bad_; }
    int accepted() const { return accepted_; }

  private:
    bool BeginEpochIfNewTime(const UtcTime& t);
    LineResult ApplyRmc(const std::vector<std::string_view>& f);
    LineResult ApplyGga(const std::vector<std::string_view>& f);
    LineResult ApplyGsa(const std::vector<std::string_view>& f, bool continuesRun);
    LineResult ApplyGsv(const std::vector<std::string_view>& f, const std::string& talker,
                        bool continuesRun);

    Fix fix_;
    Fix completed_;
    bool completedReady_ = false;
    // A receiver sends one GSA per constellation and one GSV series per
    // talker (and per signal) back to back: such a run describes one epoch.
    std::string lastType_;
    int gsvTotal_ = 0;
    std::vector<std::string> gsvTalkers_;               // talkers whose count is in gsvTotal_
    std::vector<std::pair<std::string, int>> gsvSeen_;  // (talker, PRN) listed in this run
    std::vector<SatelliteInView> gsvPending_;
    int bad_ = 0;
    int accepted_ = 0;
};

// Calendar helpers, also for the rollover of a date at midnight.
int DayOfWeek(int year, int month, int day);  // 0 = Sunday
void AddOneDay(int& year, int& month, int& day);
// Seconds between two times of day, folded into (-43200, 43200].
int SecondsOfDayDelta(const UtcTime& from, const UtcTime& to);

}  // namespace nmea
