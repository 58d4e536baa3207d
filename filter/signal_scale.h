// The scale of the signal bars, shared by every overlay filter of a process:
// the largest signal-to-noise value below 99 seen so far, at least 45.
#pragma once

namespace orvant {

inline constexpr int kInitialSignalScale = 45;

int SignalScale();
// Raises the scale to `signalToNoise` when that is larger and below 99;
// returns the scale in force afterwards.
int ObserveSignal(int signalToNoise);
// For tests only: back to the initial scale.
void ResetSignalScaleForTest();

}  // namespace orvant
