// The overlay's corner items: their names, the PID requests they make, and
// the texts they show, made from private snapshots of the shared records.
// Portable: the clock texts come from the caller.
#pragma once

#include <cstddef>
#include <cstdint>

#include "telemetry/records.h"

namespace orvant {

enum DisplayItem : uint8_t {
    kItemNone = 0,
    kItemCourse = 1,
    kItemMph = 2,
    kItemKph = 3,
    kItemKnots = 4,
    kItemDirection = 5,
    kItemAltFeet = 6,
    kItemAltMeters = 7,
    kItemLongitude = 8,
    kItemLatitude = 9,
    kItemTime = 10,
    kItemDate = 11,
    kItemDateTime = 12,
    kItemDirCourse = 13,
    kItemCustom = 14,
    kItemSatSignal = 15,
    kItemObdMph = 16,
    kItemObdKph = 17,
    kItemObdRpm = 18,
    kItemObdLoad = 19,
    kItemObdTimingAdvance = 20,
    kItemObdAirTemp = 21,
    kItemObdMassAirFlow = 22,
    kItemObdThrottle = 23,
    kItemObdIntakePressure = 24,
    kItemObdFuelTrim = 25,
    kItemObdFuelPressure = 26,
    kItemObdStMpg = 27,
    kItemObdLtMpg = 28,
    kItemObdOdometer = 29,
    kItemObdTrip = 30,
};
inline constexpr int kDisplayItemCount = 31;

// The item's name as the property page lists it; "" beyond the table.
const char* DisplayItemName(int item);
// Bits the item adds to the OBD-II provider's RequestedPids.
uint32_t RequestBits(int item);
// Whether a slot showing `item` is drawn at all this frame; a skipped slot
// keeps what it showed before.
bool SlotTakesPart(int item, bool hasGps, bool hasObd);

// Three characters, " N " to "NNW"; "" for a heading that is not a number.
const char* CompassPoint(float heading);
// "N 47°30'0.00\"" and the like; an empty text for values that are not a
// coordinate at all (not finite, or beyond the int range of the degrees).
size_t FormatDegrees(double value, bool isLatitude, char* buffer, size_t size);

// The time item from the platform's time text (with seconds, maybe a space and
// a two-letter suffix) and the clock's milliseconds: "14:05:09.67", "2:05:09.67 PM".
size_t MakeTimeText(const char* timeText, int milliseconds, char* buffer, size_t size);

// What the items read, all private copies taken for this frame.
struct ItemSources {
    const telemetry::GpsSharedRecord* gps = nullptr;  // null while "DIrivUDU" is absent
    const telemetry::ObdSharedRecord* obd = nullptr;  // null while "XOBD2" is absent
    const char* custom = nullptr;                     // the record's Custom, 64 chars at most
    const char* timeText = nullptr;                   // platform time format, with seconds
    const char* dateText = nullptr;                   // platform short date
    int milliseconds = 0;
};

// The text of `item` in corner `slot`, cut to the buffer; returns its length.
// Items whose source is absent, GPS items without a valid fix, and numbers
// beyond 30 give an empty text. "Sat Signal" gives the text its slot is
// sized for; its bars are drawn separately.
size_t FormatItemText(int item, int slot, const ItemSources& sources, char* buffer, size_t size);

}  // namespace orvant
