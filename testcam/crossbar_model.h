// The test crossbar's pins and routing, without the platform: what
// IAMCrossbar answers, decided here and checked by native tests.
//
// Pins, indexed from 0 in each direction as IAMCrossbar counts them (the
// filter enumerates all inputs first, then the outputs):
//   inputs   0 Video Tuner      related 3    outputs  0 Video Decoder  related 1
//            1 Video Composite  related 4             1 Audio Decoder  related 0
//            2 Video SVideo     related 4
//            3 Audio Tuner      related 0
//            4 Audio Line       related 1
// Video inputs route to the video output only, audio inputs to the audio
// output only. At start the tuner is routed (video and audio). Portable: no
// windows.h.
#pragma once

#include <atomic>
#include <string_view>

namespace testcam {

// Physical connector types (the platform's PhysicalConnectorType values).
enum Connector : long {
    kVideoTuner = 1,
    kVideoComposite = 2,
    kVideoSVideo = 3,
    kVideoDecoder = 12,
    kAudioTuner = 0x1000,
    kAudioLine = 0x1001,
    kAudioDecoder = 0x1009,
};

enum class CrossbarAnswer {
    kYes,       // S_OK
    kNo,        // S_FALSE: valid pins that cannot be routed / nothing routed
    kBadIndex,  // E_INVALIDARG
};

struct CrossbarPinInfo {
    long related = -1;
    long type = 0;
};

class CrossbarModel {
  public:
    static constexpr long kInputs = 5;
    static constexpr long kOutputs = 2;
    static constexpr long kVideoOutput = 0;
    static constexpr long kAudioOutput = 1;

    CrossbarModel();

    static bool PinInfo(bool input, long index, CrossbarPinInfo* info);
    CrossbarAnswer CanRoute(long output, long input) const;
    // `input` -1 leaves the output unrouted. Nothing changes unless kYes.
    CrossbarAnswer Route(long output, long input);
    // kYes with the routed input, kNo with -1, or kBadIndex. Any thread.
    CrossbarAnswer RoutedTo(long output, long* input) const;

    // The connector type routed to the video output, or 0 when none.
    long VideoSource() const;

  private:
    std::atomic<long> routed_[kOutputs];
};

// How the crossbar camera names a video connector in its picture's title.
std::string_view InputTitle(long connector);
inline constexpr std::string_view kNoSignalTitle = "NO SIGNAL";

}  // namespace testcam
