#include "filter/signal_scale.h"

#include <atomic>

namespace orvant {

namespace {
// Filters of one process stream on their own threads; every value stored is
// a valid scale, so a lock-free maximum is enough.
std::atomic<int> gSignalScale{kInitialSignalScale};
}  // namespace

int SignalScale() {
    return gSignalScale.load(std::memory_order_relaxed);
}

int ObserveSignal(int signalToNoise) {
    int seen = gSignalScale.load(std::memory_order_relaxed);
    if (signalToNoise >= 99)
        return seen;
    while (signalToNoise > seen &&
           !gSignalScale.compare_exchange_weak(seen, signalToNoise, std::memory_order_relaxed)) {
    }
    return gSignalScale.load(std::memory_order_relaxed);
}

void ResetSignalScaleForTest() {
    gSignalScale.store(kInitialSignalScale);
}

}  // namespace orvant
