// A simulated car for the OBD-II feed: a repeating drive of pulling away,
// city traffic, a faster road and stops, giving plausible engine values and
// their service-01 PID encodings. Portable and deterministic.
#pragma once

#include <cstdint>

#include "telemetry/records.h"

namespace obdfeed {

struct EngineState {
    double seconds = 0;  // since the start of the drive
    double speedKmh = 0;
    double rpm = 800;
    double loadPercent = 20;
    double throttlePercent = 12;
    double coolantC = 20;
    double intakeAirC = 18;
    double mafGramsPerSecond = 2.5;
    double manifoldKpa = 30;
    double fuelPressureKpa = 300;
    double timingAdvanceDeg = 10;
    double shortTrimPercent = 0;
    double fuelLevelPercent = 62;
    double odometerMiles = 48213.4;
    double tripMiles = 0;
    double instantMpg = 0;
    double averageMpg = 0;
};

class DriveSimulator {
  public:
    // Advances the car by `dt` seconds.
    void Step(double dt);
    const EngineState& state() const { return s_; }

  private:
    double TargetSpeed(double t) const;
    EngineState s_;
    double fuelUsedGallons_ = 0;
};

// The PID's data bytes as one number, first byte most significant, as the
// shared record carries them; 0 for PIDs the simulator does not know.
uint32_t EncodePid(const EngineState& s, int pid);

// Writes the values of the requested PIDs (bits 0..31), the odometer, trip and
// fuel economy into a record.
void WriteRecord(const EngineState& s, uint32_t requested, telemetry::ObdSharedRecord& record);

}  // namespace obdfeed
