// The delayed restart of recording or preview: armed after a segment end, a
// failed start, a graph failure or a power resume, and counted down by the
// main window's one-second tick. Portable: no Windows calls.
#pragma once

#include <cstdint>
#include <optional>

namespace vistrel {

// What the restart countdown starts when it runs out.
enum class RestartAction : uint8_t { kRecord = 0, kPreview = 1 };

// Counts ticks down to a delayed restart. Arming while armed replaces both the
// count and the action. A countdown armed with n fires on the n-th Tick().
class RestartCountdown {
  public:
    void Arm(uint32_t ticks, RestartAction action) {
        remaining_ = ticks;
        action_ = action;
    }
    void Cancel() { remaining_ = 0; }
    // One tick: the action when the count has just reached zero.
    std::optional<RestartAction> Tick() {
        if (remaining_ == 0)
            return std::nullopt;
        if (--remaining_ != 0)
            return std::nullopt;
        return action_;
    }
    uint32_t remaining() const { return remaining_; }
    RestartAction action() const { return action_; }

  private:
    uint32_t remaining_ = 0;
    RestartAction action_ = RestartAction::kRecord;
};

// Tick counts of the delayed restarts.
inline constexpr uint32_t kRestartAfterSegmentEnd = 4;  // fires on the third tick after the end
inline constexpr uint32_t kRestartAfterFailedStart = 5;
inline constexpr uint32_t kRestartAfterGraphFailure = 3;
inline constexpr uint32_t kRestartAfterResume = 7;

// The program's one countdown (main window thread only).
void ArmRestartCountdown(uint32_t ticks, RestartAction action);
// One tick of it: the action to start now, if it has just run out.
std::optional<RestartAction> TickRestartCountdown();
// Stop asked for by the user: nothing restarts by itself.
void CancelRestartCountdown();
// The action a running countdown will start, or nothing.
std::optional<RestartAction> RestartPending();

}  // namespace vistrel
