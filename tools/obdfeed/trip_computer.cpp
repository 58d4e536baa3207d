#include "tools/obdfeed/trip_computer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/common/args.h"

namespace obdfeed {

namespace {

constexpr double kKmPerMile = 1.609344;
// Petrol burns at 14.7 g of air per g of fuel; a US gallon of it weighs about
// 2.8 kg (0.74 kg/l).
constexpr double kAirFuelRatio = 14.7;
constexpr double kGramsPerGallon = 2800.0;
constexpr double kMaxMpg = 655.35;  // the record's 16 bits of hundredths
constexpr double kMaxMiles = 4294967.295;

uint32_t Thousandths(double miles) {
    return static_cast<uint32_t>(std::llround(std::clamp(miles, 0.0, kMaxMiles) * 1000.0));
}

uint16_t Hundredths(double mpg) {
    if (!(mpg > 0))
        return 0;
    return static_cast<uint16_t>(std::lround(std::min(mpg, kMaxMpg) * 100.0));
}

}  // namespace

void TripComputer::OnReading(int pid, uint32_t value, int64_t ms) {
    if (pid == 0x0D) {
        double kmh = value & 0xFF;
        if (speedKmh_ && ms > speedMs_ && ms - speedMs_ <= kMaxGapMs) {
            double hours = (ms - speedMs_) / 3600000.0;
            double miles = (*speedKmh_ + kmh) / 2 * hours / kKmPerMile;
            odometerMiles_ = std::min(odometerMiles_ + miles, kMaxMiles);
            tripMiles_ += miles;
        }
        speedKmh_ = kmh;
        speedMs_ = ms;
        UpdateShortTerm(ms);
    } else if (pid == 0x10) {
        double gps = (value & 0xFFFF) / 100.0;
        if (airGramsPerSecond_ && ms > airMs_ && ms - airMs_ <= kMaxGapMs) {
            double grams = (*airGramsPerSecond_ + gps) / 2 * (ms - airMs_) / 1000.0;
            tripGallons_ += grams / kAirFuelRatio / kGramsPerGallon * trimFactor_;
        }
        airGramsPerSecond_ = gps;
        airMs_ = ms;
        UpdateShortTerm(ms);
    } else if (pid == 0x07) {
        // The engine adds this share of fuel beyond what the air flow says.
        trimFactor_ = 1.0 + ((value & 0xFF) - 128.0) / 128.0;
    }
}

void TripComputer::UpdateShortTerm(int64_t ms) {
    if (!speedKmh_ || !airGramsPerSecond_ || std::llabs(speedMs_ - airMs_) > kMaxGapMs)
        return;
    double gallonsPerHour =
        *airGramsPerSecond_ * 3600.0 / kAirFuelRatio / kGramsPerGallon * trimFactor_;
    double mph = *speedKmh_ / kKmPerMile;
    double now = gallonsPerHour > 0 ? std::min(mph / gallonsPerHour, kMaxMpg) : 0.0;
    if (shortMs_ < 0 || ms - shortMs_ > kMaxGapMs) {
        shortMpg_ = now;
    } else if (ms > shortMs_) {
        double a = 1.0 - std::exp(-(ms - shortMs_) / 1000.0 / kShortTermSeconds);
        shortMpg_ += a * (now - shortMpg_);
    }
    shortMs_ = ms;
}

void TripComputer::Interrupt() {
    speedKmh_.reset();
    airGramsPerSecond_.reset();
    shortMs_ = -1;
}

double TripComputer::longTermMpg() const {
    return tripGallons_ > 0 ? std::min(tripMiles_ / tripGallons_, kMaxMpg) : 0.0;
}

void TripComputer::Write(telemetry::ObdSharedRecord& r) const {
    r.Odometer = Thousandths(odometerMiles_);
    r.TripDistance = Thousandths(tripMiles_);
    r.StMpg = Hundredths(shortMpg_);
    r.LtMpg = Hundredths(longTermMpg());
}

std::optional<double> ParseOdometerFile(std::string_view text) {
    constexpr std::string_view kKey = "odometer_miles=";
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.remove_suffix(1);
    if (text.substr(0, kKey.size()) != kKey)
        return std::nullopt;
    return tools::ParseNumber(text.substr(kKey.size()), 0.0, kMaxMiles);
}

std::string FormatOdometerFile(double miles) {
    char line[64];
    std::snprintf(line, sizeof(line), "odometer_miles=%.3f\n", std::clamp(miles, 0.0, kMaxMiles));
    return line;
}

}  // namespace obdfeed
