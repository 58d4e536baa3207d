// The recorder as its own GPS source, and its per-instance overlay text block.
// Called by the main window on its thread.
#pragma once

namespace vistrel {

// Once at start-up: publish the location sensor as the shared GPS record when
// nobody else does.
void OpenLocationPublisher();
// Once at start-up, after OpenLocationPublisher: take an overlay text block
// when the overlay is enabled.
void ClaimOsdTextBlock();
// At the start of every tick.
void PollLocationSensor();
// Once when the main window is destroyed, after the settings are saved.
void CloseLocationPublisher();

}  // namespace vistrel
