// The recorder as its own GPS source: publishes the platform's location
// sensor as the shared GPS record when no other program does, and holds the
// instance's overlay text block for the overlay filter to take over. All calls
// run on the user-interface thread.
#pragma once

#include <cstdint>

#include "app/shell/instances.h"
#include "app/shell/settings.h"

namespace vistrel {

// Once at start-up: stays off for the whole run when another program already
// publishes, when there is no sensor platform or GPS sensor, or when the block
// cannot be created.
void OpenLocationPublisher();
// Every tick: copies the sensor's latest report into the record.
void PollLocationSensor();
// At exit, after the settings are saved: withdraws from the record.
void CloseLocationPublisher();
bool LocationPublisherRunning();

// Once at start-up: with the overlay enabled (bit 0x400 of `vidFlags`), takes
// the first free "GPSOSDText<n>" block for `instanceNumber` and keeps it until
// the process ends.
void ClaimOsdTextBlock(uint32_t vidFlags, int instanceNumber);
// The same for this run's settings and instance number.
inline void ClaimOsdTextBlock() {
    ClaimOsdTextBlock(gVidFlags, InstanceNumber());
}
bool OsdTextBlockHeld();
// Around the creation of the overlay filter, so the new filter takes the block.
void RaiseOsdClaimFlag();
void DropOsdClaimFlag();

}  // namespace vistrel
