#include "app/core/restart_countdown.h"

namespace vistrel {

namespace {

RestartCountdown gRestartCountdown;

}  // namespace

void ArmRestartCountdown(uint32_t ticks, RestartAction action) {
    gRestartCountdown.Arm(ticks, action);
}

std::optional<RestartAction> TickRestartCountdown() {
    return gRestartCountdown.Tick();
}

}  // namespace vistrel
