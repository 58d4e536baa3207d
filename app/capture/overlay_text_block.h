// The instance's overlay text block ("GPSOSDText<n>"): claimed once at
// start-up and offered to the overlay filter while the graph creates it, so
// the new filter takes it as its settings record. User-interface thread only.
#pragma once

#include <cstdint>

namespace vistrel {

// With the overlay enabled (bit 0x400 of `vidFlags`), takes the first free
// block for `instanceNumber` and keeps it until the process ends.
void ClaimOsdTextBlock(uint32_t vidFlags, int instanceNumber);
bool OsdTextBlockHeld();
// Around the creation of the overlay filter, so the new filter takes the block.
void RaiseOsdClaimFlag();
void DropOsdClaimFlag();

}  // namespace vistrel
