#include "app/capture/overlay_text_block.h"

#include "telemetry/attach.h"

namespace vistrel {

namespace {

telemetry::OsdBlockOwner& Block() {
    static telemetry::OsdBlockOwner block;
    return block;
}

}  // namespace

void ClaimOsdTextBlock(uint32_t vidFlags, int instanceNumber) {
    constexpr uint32_t kOverlayEnabled = 0x400;
    if ((vidFlags & kOverlayEnabled) == 0 || Block().held())
        return;
    Block().Claim(instanceNumber);
}

bool OsdTextBlockHeld() {
    return Block().held();
}

void RaiseOsdClaimFlag() {
    if (Block().held())
        Block().RaiseClaimFlag();
}

void DropOsdClaimFlag() {
    if (Block().held())
        Block().DropClaimFlag();
}

}  // namespace vistrel
