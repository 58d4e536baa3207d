// Distance and fuel economy from what the vehicle reports: the odometer and
// the trip from speed over time, fuel from the mass air flow, and the saved
// form of the odometer that carries it across runs. Portable: no windows.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "telemetry/records.h"

namespace obdfeed {

class TripComputer {
  public:
    // Readings further apart than this leave a gap rather than being joined.
    static constexpr int64_t kMaxGapMs = 5000;
    // Time constant of the short-term economy.
    static constexpr double kShortTermSeconds = 3.0;

    explicit TripComputer(double odometerMiles) : odometerMiles_(odometerMiles) {}

    // A service-01 value as the record carries it: vehicle speed (0x0D), mass
    // air flow (0x10) and long-term fuel trim (0x07) are used.
    void OnReading(int pid, uint32_t value, int64_t ms);
    // The link dropped: nothing is joined across the gap.
    void Interrupt();
    // Odometer, trip and both economies into the record.
    void Write(telemetry::ObdSharedRecord& record) const;

    double odometerMiles() const { return odometerMiles_; }
    double tripMiles() const { return tripMiles_; }
    double tripGallons() const { return tripGallons_; }
    double shortTermMpg() const { return shortMpg_; }
    double longTermMpg() const;

  private:
    void UpdateShortTerm(int64_t ms);

    double odometerMiles_;
    double tripMiles_ = 0;
    double tripGallons_ = 0;
    double shortMpg_ = 0;
    std::optional<double> speedKmh_;
    int64_t speedMs_ = 0;
    std::optional<double> airGramsPerSecond_;
    int64_t airMs_ = 0;
    double trimFactor_ = 1.0;
    int64_t shortMs_ = -1;
};

// The odometer file: one line "odometer_miles=<miles>". Anything else, or a
// negative or absurd value, reads as nothing.
std::optional<double> ParseOdometerFile(std::string_view text);
std::string FormatOdometerFile(double miles);

}  // namespace obdfeed
