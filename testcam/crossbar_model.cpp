#include "testcam/crossbar_model.h"

namespace testcam {
namespace {

constexpr CrossbarPinInfo kInputPins[CrossbarModel::kInputs] = {
    {3, kVideoTuner}, {4, kVideoComposite}, {4, kVideoSVideo}, {0, kAudioTuner}, {1, kAudioLine},
};
constexpr CrossbarPinInfo kOutputPins[CrossbarModel::kOutputs] = {
    {1, kVideoDecoder},
    {0, kAudioDecoder},
};

bool IsAudio(long connector) {
    return connector >= kAudioTuner;
}

bool ValidInput(long index) {
    return index >= 0 && index < CrossbarModel::kInputs;
}

bool ValidOutput(long index) {
    return index >= 0 && index < CrossbarModel::kOutputs;
}

}  // namespace

CrossbarModel::CrossbarModel() : routed_{0, 3} {}

bool CrossbarModel::PinInfo(bool input, long index, CrossbarPinInfo* info) {
    if (input ? !ValidInput(index) : !ValidOutput(index))
        return false;
    *info = input ? kInputPins[index] : kOutputPins[index];
    return true;
}

CrossbarAnswer CrossbarModel::CanRoute(long output, long input) const {
    if (!ValidOutput(output) || !ValidInput(input))
        return CrossbarAnswer::kBadIndex;
    bool same_kind = IsAudio(kOutputPins[output].type) == IsAudio(kInputPins[input].type);
    return same_kind ? CrossbarAnswer::kYes : CrossbarAnswer::kNo;
}

CrossbarAnswer CrossbarModel::Route(long output, long input) {
    if (!ValidOutput(output) || (input != -1 && !ValidInput(input)))
        return CrossbarAnswer::kBadIndex;
    if (input != -1) {
        CrossbarAnswer can = CanRoute(output, input);
        if (can != CrossbarAnswer::kYes)
            return can;
    }
    routed_[output] = input;
    return CrossbarAnswer::kYes;
}

CrossbarAnswer CrossbarModel::RoutedTo(long output, long* input) const {
    if (!ValidOutput(output))
        return CrossbarAnswer::kBadIndex;
    *input = routed_[output];
    return *input == -1 ? CrossbarAnswer::kNo : CrossbarAnswer::kYes;
}

long CrossbarModel::VideoSource() const {
    long input = routed_[kVideoOutput];
    return ValidInput(input) ? kInputPins[input].type : 0;
}

std::string_view InputTitle(long connector) {
    switch (connector) {
        case kVideoTuner:
            return "TUNER";
        case kVideoComposite:
            return "COMPOSITE";
        case kVideoSVideo:
            return "SVIDEO";
        default:
            return kNoSignalTitle;
    }
}

}  // namespace testcam
