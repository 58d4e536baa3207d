// Copying a location sensor's data report into the shared GPS record, over an
// abstract report so the rules run without the platform. Portable.
#pragma once

#include <cstddef>
#include <cstdint>

#include "telemetry/records.h"

namespace vistrel {

// One value of a report, as the sensor delivered it.
struct SensorValue {
    enum class Kind { kMissing, kError, kNumber, kBytes };
    Kind kind = Kind::kMissing;
    double number = 0;               // kNumber: any numeric type, widened
    const uint8_t* bytes = nullptr;  // kBytes: a byte vector
    size_t count = 0;
};

// The sensor's latest report. Values are valid until Release() is called.
class SensorReport {
  public:
    virtual ~SensorReport() = default;
    // `property` is the property number of the location data format.
    virtual SensorValue Get(int property) = 0;
    // Frees the value read last (vectors hold memory until then).
    virtual void Release() = 0;
};

// Location data property numbers read by the publisher, in reading order.
enum LocationProperty : int {
    kLatitude = 2,
    kLongitude = 3,
    kAltitudeSeaLevel = 4,
    kSpeedKnots = 6,
    kTrueHeading = 7,
    kFixQuality = 10,
    kPositionDop = 12,
    kHorizontalDop = 13,
    kVerticalDop = 14,
    kSatellitesUsedCount = 15,
    kSatellitesUsedPrns = 16,
    kSatellitesInView = 17,
    kSatellitesInViewElevation = 19,
    kSatellitesInViewAzimuth = 20,
    kSatellitesInViewSnr = 21,
    kGeoidalSeparation = 34,
    kSatellitesInViewId = 39,
};

// One tick of the publisher: FixValid 1, then either FixValid 0 (latitude is
// an error value) or every field in the fixed order. A value that is missing
// or not of a usable type leaves its field as it was. FixState and FixTime
// are never written.
void CopySensorReport(SensorReport& report, telemetry::GpsSharedRecord& record);

}  // namespace vistrel
