#include "filter/display_items.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>

#include "telemetry/protocol.h"

namespace orvant {

namespace {

constexpr const char* kNames[kDisplayItemCount] = {
    "",           "Course",     "MPH",       "KPH",      "Knots",     "Direction", "Alt Feet",
    "Alt Meters", "Longitude",  "Latitude",  "Time",     "Date",      "Date+Time", "Dir+Course",
    "Custom",     "Sat Signal", "OBD2 MPH",  "OBD2 KPH", "OBD2 RPM",  "OBD2 CLV",  "OBD2 TAdv",
    "OBD2 AIT",   "OBD2 MAF",   "OBD2 TPS",  "OBD2 IMP", "OBD2 STFT", "OBD2 FP",   "OBD2 StMpg",
    "OBD2 LtMpg", "OBD2 ODO",   "OBD2 Trip",
};

constexpr const char* kPoints[16] = {" N ", "NNE", " NE", "ENE", " E ", "ESE", " SE", "SSE",
                                     " S ", "SSW", " SW", "WSW", " W ", "WNW", " NW", "NNW"};

// snprintf's result clamped to what actually landed in the buffer.
template <typename... Args>
size_t Print(char* buffer, size_t size, const char* format, Args... args) {
    if (size == 0)
        return 0;
    int n = std::snprintf(buffer, size, format, args...);
    if (n < 0) {
        buffer[0] = '\0';
        return 0;
    }
    return static_cast<size_t>(n) < size ? static_cast<size_t>(n) : size - 1;
}

size_t Empty(char* buffer, size_t size) {
    if (size > 0)
        buffer[0] = '\0';
    return 0;
}

// Integers formatted with %d: finite and in range, else 0 (never UB).
int ToInt(double value) {
    if (!(value > -2147483648.0 && value < 2147483648.0))
        return 0;
    return static_cast<int>(value);
}

size_t ObdText(int item, const telemetry::ObdSharedRecord& obd, char* buffer, size_t size) {
    auto pid = [&obd](int n) { return static_cast<int>(telemetry::PidValue(obd, n)); };
    using namespace telemetry;
    switch (item) {
        case kItemObdMph:
            return Print(buffer, size, "%3.1f MPH", pid(kPidVehicleSpeed) * 0.62137119);
        case kItemObdKph:
            return Print(buffer, size, "%3d KPH", pid(kPidVehicleSpeed));
        case kItemObdRpm:
            return Print(buffer, size, "%4d RPM", pid(kPidEngineRpm) / 4);
        case kItemObdLoad:
            return Print(buffer, size, "%2d%% Load",
                         ToInt(pid(kPidEngineLoad) * 0.39215686274509803));
        case kItemObdTimingAdvance:
            return Print(buffer, size,
                         "%2d\xB0"
                         "ADV",
                         ToInt(pid(kPidTimingAdvance) * 0.5 - 64));
        case kItemObdAirTemp:
            return Print(buffer, size,
                         "%3.1f\xB0"
                         "F",
                         (pid(kPidIntakeAirTemp) - 40) * 1.8 + 32);
        case kItemObdMassAirFlow:
            return Print(buffer, size, "%3.2f G/s", pid(kPidMassAirFlow) * 0.01);
        case kItemObdThrottle:
            return Print(buffer, size, "%3.1f%%", pid(kPidThrottle) * 0.39215686274509803);
        case kItemObdIntakePressure:
            return Print(buffer, size, "%3.1finHg", pid(kPidIntakePressure) * 0.29529983);
        case kItemObdFuelTrim:
            return Print(buffer, size, "%3.3f", (pid(kPidShortTermFuelTrim) - 128) * 0.7812);
        case kItemObdFuelPressure:
            return Print(buffer, size, "%3.3fpsig", pid(kPidFuelPressure) * 3 * 0.14503774);
        case kItemObdStMpg:
            return Print(buffer, size, "%3.02f MPG",
                         static_cast<double>(static_cast<float>(obd.StMpg) * 0.01f));
        case kItemObdLtMpg:
            return Print(buffer, size, "%3.02f MPG",
                         static_cast<double>(static_cast<float>(obd.LtMpg) * 0.01f));
        case kItemObdOdometer:
            return Print(buffer, size, "%3.03f Mi",
                         static_cast<double>(static_cast<float>(obd.Odometer) * 0.001f));
        case kItemObdTrip:
            return Print(buffer, size, "%3.03f Mi",
                         static_cast<double>(static_cast<float>(obd.TripDistance) * 0.001f));
        default:
            return Empty(buffer, size);
    }
}

size_t GpsText(int item, int slot, const telemetry::GpsSharedRecord& gps, char* buffer,
               size_t size) {
    const bool valid = gps.FixValid != 0;
    const double heading = gps.Heading;
    const double knots = gps.SpeedKnots;
    const double altitude = gps.Altitude;
    switch (item) {
        case kItemCourse:
            return valid ? Print(buffer, size, "%3.1f\xB0", heading) : Empty(buffer, size);
        case kItemMph:
            return valid ? Print(buffer, size, "%3.1f MPH", knots * 1.151) : Empty(buffer, size);
        case kItemKph:
            return valid ? Print(buffer, size, "%3.1f KPH", knots * 1.852) : Empty(buffer, size);
        case kItemKnots:
            return valid ? Print(buffer, size, "%3.1f Knots", knots) : Empty(buffer, size);
        case kItemDirection:
            return valid ? Print(buffer, size, "%s", CompassPoint(gps.Heading))
                         : Empty(buffer, size);
        case kItemAltFeet:
            return valid ? Print(buffer, size, "%3.1f ft", altitude * 3.281) : Empty(buffer, size);
        case kItemAltMeters:
            return valid ? Print(buffer, size, "%3.1f M", altitude) : Empty(buffer, size);
        case kItemLongitude:
            return valid ? FormatDegrees(gps.Longitude, false, buffer, size) : Empty(buffer, size);
        case kItemLatitude:
            return valid ? FormatDegrees(gps.Latitude, true, buffer, size) : Empty(buffer, size);
        case kItemDirCourse:
            return slot < 4
                       ? Print(buffer, size, "%s %3.1f\xB0", CompassPoint(gps.Heading), heading)
                       : Print(buffer, size, "%3.1f\xB0 %s", heading, CompassPoint(gps.Heading));
        case kItemSatSignal:
            return Print(buffer, size, "%s", "NNNNNNNN");
        default:
            return Empty(buffer, size);
    }
}

}  // namespace

const char* DisplayItemName(int item) {
    return item >= 0 && item < kDisplayItemCount ? kNames[item] : "";
}

uint32_t RequestBits(int item) {
    switch (item) {
        case kItemObdMph:
        case kItemObdKph:
        case kItemObdOdometer:
        case kItemObdTrip:
            return 0x2000;
        case kItemObdRpm:
            return 0x1000;
        case kItemObdLoad:
            return 0x10;
        case kItemObdTimingAdvance:
            return 0x4000;
        case kItemObdAirTemp:
            return 0x8000;
        case kItemObdMassAirFlow:
            return 0x10000;
        case kItemObdThrottle:
            return 0x20000;
        case kItemObdIntakePressure:
            return 0x800;
        case kItemObdFuelTrim:
            return 0x40;
        case kItemObdFuelPressure:
            return 0x400;
        case kItemObdStMpg:
        case kItemObdLtMpg:
            return 0x12080;
        default:
            return 0;
    }
}

bool SlotTakesPart(int item, bool hasGps, bool hasObd) {
    if (item == kItemNone)
        return false;
    if (item == kItemTime || item == kItemDate || item == kItemDateTime || item == kItemCustom) {
        return true;
    }
    if (hasGps && item <= kItemSatSignal)
        return true;
    return hasObd && item >= kItemObdMph;
}

const char* CompassPoint(float heading) {
    const double scaled = (static_cast<double>(heading) + static_cast<double>(11.24f)) *
                          static_cast<double>(0.044444446f);
    if (!std::isfinite(scaled))
        return "";
    // Truncation toward zero, then a remainder in 0..15, without ever
    // converting an out-of-range double to an integer.
    double index = std::fmod(std::trunc(scaled), 16.0);
    if (index < 0)
        index += 16.0;
    return kPoints[static_cast<int>(index) & 15];
}

size_t FormatDegrees(double value, bool isLatitude, char* buffer, size_t size) {
    if (!std::isfinite(value) || std::fabs(value) >= 2147483647.0)
        return Empty(buffer, size);
    // Longitude is east-positive, as the location sensor and NMEA feeds give
    // it: a negative value lies west of Greenwich.
    const char letter = value >= 0 ? (isLatitude ? 'N' : 'E') : (isLatitude ? 'S' : 'W');
    const double a = std::fabs(value);
    const double degrees = std::trunc(a);
    const double m = (a - degrees) * 60;
    const double minutes = std::trunc(m);
    const double seconds = (m - minutes) * 60;
    return Print(buffer, size, "%c%3d\xB0%2d'%2.2f\"", letter, static_cast<int>(degrees),
                 static_cast<int>(minutes), seconds);
}

size_t MakeTimeText(const char* timeText, int milliseconds, char* buffer, size_t size) {
    char time[24] = {};
    if (timeText != nullptr)
        telemetry::CopyToField(time, sizeof(time), timeText);
    const int hundredths = ((milliseconds % 1000 + 1000) % 1000) / 10;
    const size_t n = std::strlen(time);
    // Limited to 31 characters, as the slot texts always were.
    const size_t limit = size < 32 ? size : 32;
    if (n >= 3 && time[n - 3] == ' ') {
        time[n - 3] = '\0';
        return Print(buffer, limit, "%s.%02d %s", time, hundredths, time + n - 2);
    }
    return Print(buffer, limit, "%s.%02d", time, hundredths);
}

size_t FormatItemText(int item, int slot, const ItemSources& sources, char* buffer, size_t size) {
    if (size == 0)
        return 0;
    switch (item) {
        case kItemTime:
            return MakeTimeText(sources.timeText, sources.milliseconds, buffer, size);
        case kItemDate: {
            char date[32] = {};
            if (sources.dateText)
                telemetry::CopyToField(date, sizeof(date), sources.dateText);
            return Print(buffer, size, "%s", date);
        }
        case kItemDateTime: {
            char date[32] = {};
            char time[24] = {};
            if (sources.dateText)
                telemetry::CopyToField(date, sizeof(date), sources.dateText);
            if (sources.timeText)
                telemetry::CopyToField(time, sizeof(time), sources.timeText);
            const size_t limit = size < 100 ? size : 100;
            return Print(buffer, limit, "%s %s", date, time);
        }
        case kItemCustom: {
            if (sources.custom == nullptr)
                return Empty(buffer, size);
            size_t n = 0;
            while (n < 64 && sources.custom[n] != '\0')
                ++n;
            const std::string_view text(sources.custom, n);
            return Print(buffer, size, "%.*s", static_cast<int>(text.size()), text.data());
        }
        default:
            break;
    }
    if (item >= kItemCourse && item <= kItemSatSignal) {
        return sources.gps ? GpsText(item, slot, *sources.gps, buffer, size) : Empty(buffer, size);
    }
    if (item >= kItemObdMph && item <= kItemObdTrip) {
        return sources.obd ? ObdText(item, *sources.obd, buffer, size) : Empty(buffer, size);
    }
    return Empty(buffer, size);
}

}  // namespace orvant
