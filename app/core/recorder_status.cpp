#include "app/core/recorder_status.h"

namespace vistrel {

namespace {

RecorderStatus gStatus = RecorderStatus::kNone;
std::string gDetail;

}  // namespace

void SetRecorderStatus(RecorderStatus status, const std::string& detail) {
    gStatus = status;
    gDetail = status == RecorderStatus::kNone ? std::string() : detail;
}

RecorderStatus CurrentRecorderStatus() {
    return gStatus;
}

std::string RecorderStatusText() {
    switch (gStatus) {
        case RecorderStatus::kNone:
            return {};
        case RecorderStatus::kNoCamera:
            return "No camera";
        case RecorderStatus::kCameraLost:
            return "Camera lost - retrying";
        case RecorderStatus::kCannotWrite:
            return "Cannot write to " + gDetail;
        case RecorderStatus::kDiskFull:
            return gDetail.empty() ? "Disk full" : "Disk full - " + gDetail;
    }
    return {};
}

const char* RecorderStatusWord() {
    switch (gStatus) {
        case RecorderStatus::kNone:
            return nullptr;
        case RecorderStatus::kNoCamera:
            return "NO CAM";
        case RecorderStatus::kCameraLost:
            return "LOST";
        case RecorderStatus::kCannotWrite:
            return "NO DISK";
        case RecorderStatus::kDiskFull:
            return "FULL";
    }
    return nullptr;
}

}  // namespace vistrel
