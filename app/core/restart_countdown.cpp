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

void CancelRestartCountdown() {
    gRestartCountdown.Cancel();
}

std::optional<RestartAction> RestartPending() {
    if (gRestartCountdown.remaining() == 0)
        return std::nullopt;
    return gRestartCountdown.action();
}

}  // namespace vistrel
