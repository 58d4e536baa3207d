#include "tools/gpsfeed/nmea.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace nmea {

namespace {

constexpr size_t kMaxSentence = 120;  // the standard allows 82; some receivers exceed it

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Non-negative decimal number with optional fraction; nothing else.
std::optional<double> Number(std::string_view s) {
    if (s.empty() || s.size() > 20)
        return std::nullopt;
    double value = 0, scale = 0;
    bool digits = false;
    for (char c : s) {
        if (c >= '0' && c <= '9') {
            digits = true;
            if (scale == 0) {
                value = value * 10 + (c - '0');
            } else {
                value += (c - '0') * scale;
                scale /= 10;
            }
        } else if (c == '.' && scale == 0) {
            scale = 0.1;
        } else {
            return std::nullopt;
        }
    }
    if (!digits)
        return std::nullopt;
    return value;
}

std::optional<double> SignedNumber(std::string_view s) {
    bool negative = !s.empty() && s[0] == '-';
    auto v = Number(negative ? s.substr(1) : s);
    if (!v)
        return std::nullopt;
    return negative ? -*v : *v;
}

std::optional<int> Integer(std::string_view s, int min, int max) {
    if (s.empty() || s.size() > 9)
        return std::nullopt;
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (v < min || v > max)
        return std::nullopt;
    return v;
}

// hhmmss or hhmmss.sss
bool ParseTime(std::string_view s, UtcTime& t) {
    if (s.size() < 6)
        return false;
    auto h = Integer(s.substr(0, 2), 0, 23), m = Integer(s.substr(2, 2), 0, 59);
    auto sec = Integer(s.substr(4, 2), 0, 60);
    if (!h || !m || !sec)
        return false;
    int ms = 0;
    if (s.size() > 6) {
        if (s[6] != '.')
            return false;
        std::string fraction(1, '0');
        fraction.append(s.substr(6));
        auto frac = Number(fraction);
        if (!frac)
            return false;
        ms = static_cast<int>(*frac * 1000 + 0.5);
        if (ms > 999)
            ms = 999;
    }
    t.hour = *h;
    t.minute = *m;
    t.second = *sec;
    t.millisecond = ms;
    t.hasTime = true;
    return true;
}

// ddmmyy; two-digit years are taken as 1980..2079.
bool ParseDate(std::string_view s, UtcTime& t) {
    if (s.size() != 6)
        return false;
    auto d = Integer(s.substr(0, 2), 1, 31), mo = Integer(s.substr(2, 2), 1, 12);
    auto y = Integer(s.substr(4, 2), 0, 99);
    if (!d || !mo || !y)
        return false;
    t.year = *y < 80 ? 2000 + *y : 1900 + *y;
    t.month = *mo;
    t.day = *d;
    t.hasDate = true;
    return true;
}

// ddmm.mmmm (latitude, 2 degree digits) or dddmm.mmmm (longitude, 3).
std::optional<double> ParseAngle(std::string_view value, std::string_view hemisphere,
                                 int degreeDigits, char positive, char negative, double limit) {
    if (value.size() < static_cast<size_t>(degreeDigits + 2) || hemisphere.size() != 1) {
        return std::nullopt;
    }
    auto deg = Integer(value.substr(0, degreeDigits), 0, static_cast<int>(limit));
    auto min = Number(value.substr(degreeDigits));
    if (!deg || !min || *min >= 60)
        return std::nullopt;
    double v = *deg + *min / 60.0;
    if (v > limit)
        return std::nullopt;
    if (hemisphere[0] == negative)
        return -v;
    if (hemisphere[0] == positive)
        return v;
    return std::nullopt;
}

bool SameTimeOfDay(const UtcTime& a, const UtcTime& b) {
    return a.hour == b.hour && a.minute == b.minute && a.second == b.second &&
           a.millisecond == b.millisecond;
}

}  // namespace

int DayOfWeek(int year, int month, int day) {
    // Days from 1970-01-01 (a Thursday), for the proleptic Gregorian calendar.
    int y = month <= 2 ? year - 1 : year;
    int era = (y >= 0 ? y : y - 399) / 400;
    int yoe = y - era * 400;
    int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    long days = static_cast<long>(era) * 146097 + doe - 719468;
    return static_cast<int>(((days % 7) + 11) % 7);
}

void AddOneDay(int& year, int& month, int& day) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    int inMonth = (month == 2 && leap) ? 29 : kDays[(month - 1 + 12) % 12];
    if (++day > inMonth) {
        day = 1;
        if (++month > 12) {
            month = 1;
            ++year;
        }
    }
}

int SecondsOfDayDelta(const UtcTime& from, const UtcTime& to) {
    int a = from.hour * 3600 + from.minute * 60 + from.second;
    int b = to.hour * 3600 + to.minute * 60 + to.second;
    int d = b - a;
    if (d <= -43200)
        d += 86400;
    if (d > 43200)
        d -= 86400;
    return d;
}

LineResult SplitSentence(std::string_view line, std::string& type,
                         std::vector<std::string_view>& fields, std::string* talker) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n' || line.back() == ' ')) {
        line.remove_suffix(1);
    }
    while (!line.empty() && line.front() == ' ')
        line.remove_prefix(1);
    if (line.empty())
        return LineResult::kBlank;
    if (line.size() > kMaxSentence || line[0] != '$')
        return LineResult::kBadFraming;
    for (char c : line) {
        if (c < 0x20 || c > 0x7E)
            return LineResult::kBadFraming;
    }
    size_t star = line.rfind('*');
    if (star == std::string_view::npos)
        return LineResult::kBadChecksum;
    if (star + 3 != line.size())
        return LineResult::kBadChecksum;
    int hi = HexDigit(line[star + 1]), lo = HexDigit(line[star + 2]);
    if (hi < 0 || lo < 0)
        return LineResult::kBadChecksum;
    unsigned sum = 0;
    for (size_t i = 1; i < star; ++i)
        sum ^= static_cast<unsigned char>(line[i]);
    if (sum != static_cast<unsigned>(hi * 16 + lo))
        return LineResult::kBadChecksum;

    std::string_view body = line.substr(1, star - 1);
    fields.clear();
    size_t start = 0;
    for (;;) {
        size_t comma = body.find(',', start);
        fields.push_back(
            body.substr(start, comma == std::string_view::npos ? body.npos : comma - start));
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    std::string_view address = fields.front();
    bool letters = std::all_of(address.begin(), address.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
    if (!letters || address.empty())
        return LineResult::kBadFraming;
    if (address[0] == 'P') {
        type.assign(address);  // a maker's own sentence: well formed, not for this reader
        if (talker)
            talker->clear();
    } else if (address.size() == 5) {
        // "GPRMC", "GNGGA", ...: a two-letter talker and a three-letter type.
        type.assign(address.substr(2));
        if (talker)
            talker->assign(address.substr(0, 2));
    } else {
        return LineResult::kBadFraming;
    }
    fields.erase(fields.begin());
    return LineResult::kAccepted;
}

bool Reader::BeginEpochIfNewTime(const UtcTime& t) {
    if (!fix_.time.hasTime) {
        fix_.time.hour = t.hour;
        fix_.time.minute = t.minute;
        fix_.time.second = t.second;
        fix_.time.millisecond = t.millisecond;
        fix_.time.hasTime = true;
        return false;
    }
    if (SameTimeOfDay(fix_.time, t))
        return false;
    completed_ = fix_;
    completedReady_ = true;
    // A time of day earlier than the last one means midnight passed, unless
    // the log just stepped back a little (receivers repeat or reorder).
    if (fix_.time.hasDate && SecondsOfDayDelta(fix_.time, t) > 0 &&
        t.hour * 3600 + t.minute * 60 + t.second <
            fix_.time.hour * 3600 + fix_.time.minute * 60 + fix_.time.second) {
        AddOneDay(fix_.time.year, fix_.time.month, fix_.time.day);
    }
    fix_.time.hour = t.hour;
    fix_.time.minute = t.minute;
    fix_.time.second = t.second;
    fix_.time.millisecond = t.millisecond;
    return true;
}

LineResult Reader::ApplyRmc(const std::vector<std::string_view>& f) {
    // time, status, lat, N/S, lon, E/W, speed, course, date, ...
    if (f.size() < 9)
        return LineResult::kBadFields;
    UtcTime t;
    if (!ParseTime(f[0], t) || (f[1] != "A" && f[1] != "V"))
        return LineResult::kBadFields;
    UtcTime date;
    if (!f[8].empty() && !ParseDate(f[8], date))
        return LineResult::kBadFields;
    bool valid = f[1] == "A";
    std::optional<double> lat, lon, speed, course;
    if (!f[2].empty() || !f[4].empty()) {
        lat = ParseAngle(f[2], f[3], 2, 'N', 'S', 90);
        lon = ParseAngle(f[4], f[5], 3, 'E', 'W', 180);
        if (!lat || !lon)
            return LineResult::kBadFields;
    } else if (valid) {
        return LineResult::kBadFields;  // a valid fix without a position
    }
    if (!f[6].empty() && !(speed = Number(f[6])))
        return LineResult::kBadFields;
    if (!f[7].empty() && !(course = Number(f[7])))
        return LineResult::kBadFields;
    if (course && *course >= 360.0)
        course = std::fmod(*course, 360.0);

    BeginEpochIfNewTime(t);
    if (date.hasDate) {
        fix_.time.year = date.year;
        fix_.time.month = date.month;
        fix_.time.day = date.day;
        fix_.time.hasDate = true;
    }
    fix_.valid = valid;
    if (lat)
        fix_.latitude = *lat;
    if (lon)
        fix_.longitude = *lon;
    fix_.speedKnots = speed.value_or(valid ? 0.0 : fix_.speedKnots);
    if (course)
        fix_.courseDegrees = *course;
    return LineResult::kAccepted;
}

LineResult Reader::ApplyGga(const std::vector<std::string_view>& f) {
    // time, lat, N/S, lon, E/W, quality, sats, hdop, alt, M, geoid, M, ...
    if (f.size() < 11)
        return LineResult::kBadFields;
    UtcTime t;
    if (!ParseTime(f[0], t))
        return LineResult::kBadFields;
    auto quality = Integer(f[5], 0, 9);
    if (!quality)
        return LineResult::kBadFields;
    std::optional<double> lat, lon, hdop, alt, geoid;
    std::optional<int> sats;
    if (!f[1].empty() || !f[3].empty()) {
        lat = ParseAngle(f[1], f[2], 2, 'N', 'S', 90);
        lon = ParseAngle(f[3], f[4], 3, 'E', 'W', 180);
        if (!lat || !lon)
            return LineResult::kBadFields;
    }
    if (!f[6].empty() && !(sats = Integer(f[6], 0, 999)))
        return LineResult::kBadFields;
    if (!f[7].empty() && !(hdop = Number(f[7])))
        return LineResult::kBadFields;
    if (!f[8].empty() && !(alt = SignedNumber(f[8])))
        return LineResult::kBadFields;
    if (!f[10].empty() && !(geoid = SignedNumber(f[10])))
        return LineResult::kBadFields;

    BeginEpochIfNewTime(t);
    fix_.quality = *quality;
    if (*quality == 0)
        fix_.valid = false;
    if (lat)
        fix_.latitude = *lat;
    if (lon)
        fix_.longitude = *lon;
    if (sats)
        fix_.satellitesUsed = *sats;
    if (hdop)
        fix_.hdop = *hdop;
    if (alt)
        fix_.altitude = *alt;
    if (geoid)
        fix_.geoidSeparation = *geoid;
    return LineResult::kAccepted;
}

LineResult Reader::ApplyGsa(const std::vector<std::string_view>& f, bool continuesRun) {
    // selection, mode, 12 PRNs, pdop, hdop, vdop [, system id]
    if (f.size() < 17)
        return LineResult::kBadFields;
    auto mode = Integer(f[1], 1, 3);
    if (!mode)
        return LineResult::kBadFields;
    std::array<uint8_t, 12> prns{};
    int count = 0;
    for (int i = 0; i < 12; ++i) {
        if (f[2 + i].empty())
            continue;
        auto prn = Integer(f[2 + i], 1, 255);
        if (!prn)
            return LineResult::kBadFields;
        prns[count++] = static_cast<uint8_t>(*prn);
    }
    std::optional<double> dop[3];
    for (int i = 0; i < 3; ++i) {
        if (!f[14 + i].empty() && !(dop[i] = Number(f[14 + i])))
            return LineResult::kBadFields;
    }
    // The GSA of a second constellation adds its satellites to the first's.
    if (continuesRun && fix_.mode >= 1) {
        for (int i = 0; i < count && fix_.usedPrnCount < 12; ++i) {
            auto end = fix_.usedPrns.begin() + fix_.usedPrnCount;
            if (std::find(fix_.usedPrns.begin(), end, prns[i]) == end)
                fix_.usedPrns[fix_.usedPrnCount++] = prns[i];
        }
        fix_.mode = std::max(fix_.mode, *mode);
    } else {
        fix_.mode = *mode;
        fix_.usedPrns = prns;
        fix_.usedPrnCount = count;
    }
    if (dop[0])
        fix_.pdop = *dop[0];
    if (dop[1])
        fix_.hdop = *dop[1];
    if (dop[2])
        fix_.vdop = *dop[2];
    return LineResult::kAccepted;
}

LineResult Reader::ApplyGsv(const std::vector<std::string_view>& f, const std::string& talker,
                            bool continuesRun) {
    // messages, number, in view, then up to four of (prn, elevation, azimuth, snr)
    if (f.size() < 3)
        return LineResult::kBadFields;
    auto total = Integer(f[0], 1, 9), number = Integer(f[1], 1, 9), inView = Integer(f[2], 0, 99);
    if (!total || !number || !inView || *number > *total)
        return LineResult::kBadFields;
    // Groups of four fields; a single field left over is the signal id of newer receivers.
    size_t rest = (f.size() - 3) % 4;
    if (rest > 1 || f.size() > 3 + 4 * 4 + 1)
        return LineResult::kBadFields;
    std::vector<SatelliteInView> entries;
    auto field = [&](size_t k, int min, int max, int& out) {
        if (f[k].empty())
            return true;  // not tracked
        auto v = Integer(f[k], min, max);
        if (v)
            out = *v;
        return v.has_value();
    };
    for (size_t i = 3; i + 3 < f.size(); i += 4) {
        if (f[i].empty())
            continue;  // an unused group
        SatelliteInView s;
        if (!field(i, 1, 255, s.prn) || !field(i + 1, 0, 90, s.elevation) ||
            !field(i + 2, 0, 359, s.azimuth) || !field(i + 3, 0, 99, s.snr)) {
            return LineResult::kBadFields;
        }
        entries.push_back(s);
    }
    if (!continuesRun) {
        gsvPending_.clear();
        gsvTalkers_.clear();
        gsvSeen_.clear();
        gsvTotal_ = 0;
    }
    // A talker's second series in one run lists the same satellites on
    // another signal: counted once.
    if (*number == 1 &&
        std::find(gsvTalkers_.begin(), gsvTalkers_.end(), talker) == gsvTalkers_.end()) {
        gsvTalkers_.push_back(talker);
        gsvTotal_ += *inView;
    }
    for (const auto& s : entries) {
        std::pair<std::string, int> key(talker, s.prn);
        if (std::find(gsvSeen_.begin(), gsvSeen_.end(), key) != gsvSeen_.end())
            continue;
        gsvSeen_.push_back(key);
        gsvPending_.push_back(s);
    }
    if (*number == *total) {
        fix_.satellitesInView = gsvTotal_;
        fix_.satellites.assign(gsvPending_.begin(),
                               gsvPending_.begin() + std::min<size_t>(gsvPending_.size(), 12));
    }
    return LineResult::kAccepted;
}

LineResult Reader::Feed(std::string_view line) {
    std::string type, talker;
    std::vector<std::string_view> fields;
    LineResult r = SplitSentence(line, type, fields, &talker);
    if (r == LineResult::kAccepted) {
        bool continuesRun = lastType_ == type;
        lastType_ = type;
        if (type == "RMC") {
            r = ApplyRmc(fields);
        } else if (type == "GGA") {
            r = ApplyGga(fields);
        } else if (type == "GSA") {
            r = ApplyGsa(fields, continuesRun);
        } else if (type == "GSV") {
            r = ApplyGsv(fields, talker, continuesRun);
        } else {
            r = LineResult::kIgnored;
        }
    }
    if (r == LineResult::kAccepted)
        ++accepted_;
    if (r == LineResult::kBadFraming || r == LineResult::kBadChecksum ||
        r == LineResult::kBadFields) {
        ++bad_;
    }
    return r;
}

}  // namespace nmea
