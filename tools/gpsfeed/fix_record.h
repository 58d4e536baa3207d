// Puts a fix read from a log (or given on the command line) into the shared
// GPS record the way an outside publisher fills it. Portable.
#pragma once

#include "telemetry/records.h"
#include "tools/gpsfeed/nmea.h"

namespace gpsfeed {

// Writes every published field of the record; FixValid is written last so a
// reader never takes a half-written position for a fresh fix.
void WriteFix(const nmea::Fix& fix, telemetry::GpsSharedRecord& record);

}  // namespace gpsfeed
