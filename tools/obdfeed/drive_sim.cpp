#include "tools/obdfeed/drive_sim.h"

#include <algorithm>
#include <cmath>

namespace obdfeed {

namespace {

constexpr double kCycle = 300.0;  // one loop of the drive, seconds
constexpr double kKmPerMile = 1.609344;

// Clamped before rounding: lround of an out-of-range value is undefined, and
// long is 32 bits on Windows.
uint32_t Byte(double v) {
    if (!(v > 0)) return 0;  // also NaN
    return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 255.0)));
}
uint32_t Word(double v) {
    if (!(v > 0)) return 0;
    return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 65535.0)));
}

// Gear from speed, for a five-speed box.
double GearRatio(double kmh) {
    if (kmh < 15)
        return 3.6;
    if (kmh < 30)
        return 2.1;
    if (kmh < 50)
        return 1.4;
    if (kmh < 70)
        return 1.0;
    return 0.8;
}

}  // namespace

double DriveSimulator::TargetSpeed(double t) const {
    double p = std::fmod(t, kCycle);
    if (p < 10)
        return 0;  // waiting at the start
    if (p < 60)
        return 45;  // city
    if (p < 75)
        return 0;  // lights
    if (p < 110)
        return 50;
    if (p < 200)
        return 95;  // the faster road
    if (p < 260)
        return 60;
    if (p < 285)
        return 30;
    return 0;
}

void DriveSimulator::Step(double dt) {
    if (!(dt > 0))
        return;
    dt = std::min(dt, 5.0);
    s_.seconds += dt;
    double target = TargetSpeed(s_.seconds);
    double accel = std::clamp(target - s_.speedKmh, -12.0 * dt, 6.0 * dt);
    s_.speedKmh = std::max(0.0, s_.speedKmh + accel);
    bool accelerating = accel > 0.5 * dt;

    double idle = 780 + 40 * std::sin(s_.seconds * 0.7);
    s_.rpm = s_.speedKmh < 1 ? idle : std::max(idle, s_.speedKmh * 32.0 * GearRatio(s_.speedKmh));
    s_.throttlePercent =
        s_.speedKmh < 1 ? 12
                        : std::clamp(14 + s_.speedKmh * 0.2 + (accelerating ? 25 : 0), 0.0, 100.0);
    s_.loadPercent =
        std::clamp(18 + s_.throttlePercent * 0.7 + (accelerating ? 15 : 0), 0.0, 100.0);
    s_.manifoldKpa = std::clamp(28 + s_.loadPercent * 0.7, 20.0, 101.0);
    s_.mafGramsPerSecond = std::max(1.8, s_.rpm * s_.loadPercent / 100.0 * 0.011);
    s_.timingAdvanceDeg = std::clamp(8 + s_.rpm / 250.0 - s_.loadPercent / 20.0, 0.0, 40.0);
    s_.shortTrimPercent = 2.5 * std::sin(s_.seconds * 0.31);
    s_.fuelPressureKpa = 290 + 15 * std::sin(s_.seconds * 0.05);
    // Warms up to running temperature over the first minutes.
    s_.coolantC += (90 - s_.coolantC) * std::min(1.0, dt / 120.0);
    s_.intakeAirC = 18 + std::min(20.0, s_.coolantC / 6.0);

    double miles = s_.speedKmh / kKmPerMile * dt / 3600.0;
    s_.odometerMiles += miles;
    s_.tripMiles += miles;
    // Petrol at stoichiometry: 14.7 g of air per g of fuel, 2835 g per US gallon.
    double gallonsPerSecond = s_.mafGramsPerSecond / 14.7 / 2835.0;
    fuelUsedGallons_ += gallonsPerSecond * dt;
    s_.fuelLevelPercent = std::max(0.0, s_.fuelLevelPercent - gallonsPerSecond * dt / 13.2 * 100);
    s_.instantMpg =
        gallonsPerSecond > 0 ? (s_.speedKmh / kKmPerMile / 3600.0) / gallonsPerSecond : 0;
    s_.averageMpg = fuelUsedGallons_ > 0 ? s_.tripMiles / fuelUsedGallons_ : 0;
}

uint32_t EncodePid(const EngineState& s, int pid) {
    switch (pid) {
        case 0x04:
            return Byte(s.loadPercent * 255 / 100);
        case 0x05:
            return Byte(s.coolantC + 40);
        case 0x06:
            return Byte(s.shortTrimPercent * 128 / 100 + 128);
        case 0x07:
            return Byte(128 + 2);
        case 0x0A:
            return Byte(s.fuelPressureKpa / 3);
        case 0x0B:
            return Byte(s.manifoldKpa);
        case 0x0C:
            return Word(s.rpm * 4);
        case 0x0D:
            return Byte(s.speedKmh);
        case 0x0E:
            return Byte((s.timingAdvanceDeg + 64) * 2);
        case 0x0F:
            return Byte(s.intakeAirC + 40);
        case 0x10:
            return Word(s.mafGramsPerSecond * 100);
        case 0x11:
            return Byte(s.throttlePercent * 255 / 100);
        case 0x2F:
            return Byte(s.fuelLevelPercent * 255 / 100);
        default:
            return 0;
    }
}

void WriteRecord(const EngineState& s, uint32_t requested, telemetry::ObdSharedRecord& r) {
    for (int pid = 0; pid < telemetry::kObdPidSlots; ++pid) {
        if (requested & (1u << pid))
            r.PidValues[pid] = EncodePid(s, pid);
    }
    r.Odometer = static_cast<uint32_t>(std::clamp(s.odometerMiles * 1000, 0.0, 4294967295.0));
    r.TripDistance = static_cast<uint32_t>(std::clamp(s.tripMiles * 1000, 0.0, 4294967295.0));
    r.StMpg = static_cast<uint16_t>(Word(std::min(s.instantMpg, 655.0) * 100));
    r.LtMpg = static_cast<uint16_t>(Word(std::min(s.averageMpg, 655.0) * 100));
}

}  // namespace obdfeed
