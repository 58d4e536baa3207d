// The recorder as its own GPS source: publishes the platform's location
// sensor as the shared GPS record when no other program does. All calls run
// on the user-interface thread.
#pragma once

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

}  // namespace vistrel
