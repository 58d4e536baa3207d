// How often the overlay looks again for a telemetry block that is absent.
// Opening a mapping that does not exist is a round trip to the system (under
// Wine about 50 to 70 us, a quarter of a frame's copy), so it is tried again at
// most every kAttachRetryMs instead of on every frame: a feed started later
// shows within that time. Portable.
#pragma once

#include <cstdint>

namespace orvant {

inline constexpr uint64_t kAttachRetryMs = 100;

class AttachRetry {
  public:
    // Whether to try now (milliseconds of a monotonic clock); the first call is.
    bool Due(uint64_t nowMs) {
        if (tried_ && nowMs - last_ < kAttachRetryMs)
            return false;
        tried_ = true;
        last_ = nowMs;
        return true;
    }

  private:
    bool tried_ = false;
    uint64_t last_ = 0;
};

}  // namespace orvant
