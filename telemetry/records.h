// Byte layouts of the three named shared-memory records exchanged between the
// recorder, the overlay filter and outside programs. These layouts are a wire
// format: other processes rely on every offset, so each one is pinned below.
// Portable: no windows.h.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace telemetry {

static_assert(std::endian::native == std::endian::little,
              "the shared records are little-endian and are accessed in place");

// ---------------------------------------------------------------- "DIrivUDU"

inline constexpr char kGpsBlockName[] = "DIrivUDU";
inline constexpr size_t kGpsRecordSize = 268;
inline constexpr uint32_t kGpsSignature = 0x54525058;  // "XPRT"

// The platform's SYSTEMTIME, spelled out so portable code can use it.
struct FixTimeUtc {
    uint16_t Year;
    uint16_t Month;
    uint16_t DayOfWeek;
    uint16_t Day;
    uint16_t Hour;
    uint16_t Minute;
    uint16_t Second;
    uint16_t Milliseconds;
};

struct SatelliteEntry {
    uint16_t Id;
    uint16_t Elevation;
    uint16_t Azimuth;
    uint16_t SignalToNoise;
};

inline constexpr int kMaxSatellites = 12;

enum FixState : uint8_t {
    kFixNoData = 0,
    kFixNone = 1,
    kFix2D = 2,
    kFix3D = 3,
};

struct GpsSharedRecord {
    uint8_t PublisherActive;
    uint8_t FixValid;
    uint8_t Reserved2[2];
    uint8_t UserCount;
    uint8_t Reserved5[15];
    FixTimeUtc FixTime;
    float Latitude;
    float Longitude;  // positive values are drawn as W
    int32_t FixQuality;
    float Altitude;
    float GeoidalSeparation;
    float Reserved56;
    uint8_t Reserved60[4];
    float PositionDop;
    float HorizontalDop;
    float VerticalDop;
    uint8_t SatellitesUsed;
    uint8_t Reserved77;
    uint8_t FixState;
    uint8_t SatellitesInView;
    uint8_t UsedPrns[kMaxSatellites];
    SatelliteEntry Satellites[kMaxSatellites];
    float SpeedKnots;
    float Heading;
    uint8_t Reserved196[20];
    uint32_t Signature;
    uint8_t Reserved220[48];
};

static_assert(sizeof(FixTimeUtc) == 16);
static_assert(sizeof(SatelliteEntry) == 8);
static_assert(sizeof(GpsSharedRecord) == kGpsRecordSize);
static_assert(offsetof(GpsSharedRecord, PublisherActive) == 0);
static_assert(offsetof(GpsSharedRecord, FixValid) == 1);
static_assert(offsetof(GpsSharedRecord, UserCount) == 4);
static_assert(offsetof(GpsSharedRecord, FixTime) == 20);
static_assert(offsetof(GpsSharedRecord, FixTime.Milliseconds) == 34);
static_assert(offsetof(GpsSharedRecord, Latitude) == 36);
static_assert(offsetof(GpsSharedRecord, Longitude) == 40);
static_assert(offsetof(GpsSharedRecord, FixQuality) == 44);
static_assert(offsetof(GpsSharedRecord, Altitude) == 48);
static_assert(offsetof(GpsSharedRecord, GeoidalSeparation) == 52);
static_assert(offsetof(GpsSharedRecord, Reserved56) == 56);
static_assert(offsetof(GpsSharedRecord, PositionDop) == 64);
static_assert(offsetof(GpsSharedRecord, HorizontalDop) == 68);
static_assert(offsetof(GpsSharedRecord, VerticalDop) == 72);
static_assert(offsetof(GpsSharedRecord, SatellitesUsed) == 76);
static_assert(offsetof(GpsSharedRecord, FixState) == 78);
static_assert(offsetof(GpsSharedRecord, SatellitesInView) == 79);
static_assert(offsetof(GpsSharedRecord, UsedPrns) == 80);
static_assert(offsetof(GpsSharedRecord, Satellites) == 92);
static_assert(offsetof(GpsSharedRecord, SpeedKnots) == 188);
static_assert(offsetof(GpsSharedRecord, Heading) == 192);
static_assert(offsetof(GpsSharedRecord, Signature) == 216);

// ------------------------------------------------------------------- "XOBD2"

inline constexpr char kObdBlockName[] = "XOBD2";
// The provider chooses the size; readers touch bytes up to offset 9751.
inline constexpr size_t kObdMinSize = 9752;
inline constexpr int kObdPidSlots = 32;

enum ObdPid : uint8_t {
    kPidEngineLoad = 0x04,
    kPidShortTermFuelTrim = 0x06,
    kPidLongTermFuelTrim = 0x07,
    kPidFuelPressure = 0x0A,
    kPidIntakePressure = 0x0B,
    kPidEngineRpm = 0x0C,
    kPidVehicleSpeed = 0x0D,
    kPidTimingAdvance = 0x0E,
    kPidIntakeAirTemp = 0x0F,
    kPidMassAirFlow = 0x10,
    kPidThrottle = 0x11,
};

enum LinkState : uint8_t {
    kLinkNotConnected = 0,
    kLinkClosed = 1,
    kLinkOpen = 2,
    kLinkWorking = 3,
    kLinkInit = 4,
    kLinkTimeout = 5,
    kLinkBusy = 6,
    kLinkIdle = 7,
};

// The part of "XOBD2" this system uses; every other byte is the provider's.
struct ObdSharedRecord {
    uint8_t UserCount;
    uint8_t Provider1;
    uint8_t LinkState;
    uint8_t Provider3[37];
    uint32_t RequestedPids;
    uint8_t Provider44[28];
    uint32_t PidValues[kObdPidSlots];  // first data byte most significant
    uint8_t Provider200[9736 - 200];
    uint32_t Odometer;      // thousandths of a mile
    uint32_t TripDistance;  // thousandths of a mile
    uint8_t Provider9744[4];
    uint16_t StMpg;  // hundredths of a mile per gallon
    uint16_t LtMpg;
};

static_assert(sizeof(ObdSharedRecord) == kObdMinSize);
static_assert(offsetof(ObdSharedRecord, UserCount) == 0);
static_assert(offsetof(ObdSharedRecord, LinkState) == 2);
static_assert(offsetof(ObdSharedRecord, RequestedPids) == 40);
static_assert(offsetof(ObdSharedRecord, PidValues) == 72);
static_assert(offsetof(ObdSharedRecord, PidValues) + 4 * kPidEngineLoad == 88);
static_assert(offsetof(ObdSharedRecord, PidValues) + 4 * kPidThrottle == 140);
static_assert(offsetof(ObdSharedRecord, Odometer) == 9736);
static_assert(offsetof(ObdSharedRecord, TripDistance) == 9740);
static_assert(offsetof(ObdSharedRecord, StMpg) == 9748);
static_assert(offsetof(ObdSharedRecord, LtMpg) == 9750);

// ------------------------------------------------------------ "GPSOSDText%d"

inline constexpr char kOsdBlockNameFormat[] = "GPSOSDText%d";
inline constexpr int kOsdBlockCount = 32;  // GPSOSDText0 .. GPSOSDText31
inline constexpr size_t kOsdBlockSize = 764;
inline constexpr int kOsdTextLines = 8;
inline constexpr int kOsdTextChars = 64;
inline constexpr int kCornerSlots = 8;

struct OsdTextLine {
    int16_t X;  // negative: measured from the right edge
    int16_t Y;  // negative: measured from the bottom edge
    char Text[kOsdTextChars];
};

// The overlay filter's settings record; the per-instance block holds exactly one.
struct OverlaySettings {
    int16_t FrameWidth;
    int16_t FrameHeight;
    int16_t FontWidth;
    int16_t FontHeight;
    uint32_t Color;  // 0x00BBGGRR
    char Font[128];
    uint8_t Mode[kCornerSlots];
    OsdTextLine TextLines[kOsdTextLines];
    uint32_t Flags;
    char Custom[64];
    uint8_t UserCount;
    uint8_t InstanceNumber;
    uint8_t ClaimFlag;
    uint8_t Spare;
};
using OsdTextBlock = OverlaySettings;

static_assert(sizeof(OsdTextLine) == 68);
static_assert(offsetof(OsdTextLine, Text) == 4);
static_assert(sizeof(OverlaySettings) == kOsdBlockSize);
static_assert(offsetof(OverlaySettings, FrameWidth) == 0);
static_assert(offsetof(OverlaySettings, FrameHeight) == 2);
static_assert(offsetof(OverlaySettings, FontWidth) == 4);
static_assert(offsetof(OverlaySettings, FontHeight) == 6);
static_assert(offsetof(OverlaySettings, Color) == 8);
static_assert(offsetof(OverlaySettings, Font) == 12);
static_assert(offsetof(OverlaySettings, Mode) == 140);
static_assert(offsetof(OverlaySettings, TextLines) == 148);
static_assert(offsetof(OverlaySettings, Flags) == 692);
static_assert(offsetof(OverlaySettings, Custom) == 696);
static_assert(offsetof(OverlaySettings, UserCount) == 760);
static_assert(offsetof(OverlaySettings, InstanceNumber) == 761);
static_assert(offsetof(OverlaySettings, ClaimFlag) == 762);
static_assert(offsetof(OverlaySettings, Spare) == 763);

}  // namespace telemetry
