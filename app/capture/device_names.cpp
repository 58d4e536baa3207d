#include "app/capture/device_names.h"

#include <cstring>

namespace vistrel {

VideoDeviceNameTable VideoDeviceNames;
AudioDeviceNameTable AudioDeviceNames;
InputNameTable InputNames;

std::string DeviceDisplayName(const std::string& friendlyName, const std::string& devicePath) {
    return friendlyName + "(" + devicePath + ")";
}

bool SameDeviceName(const char* a, const char* b) {
    if (a == nullptr || b == nullptr)
        return false;
    for (;; ++a, ++b) {
        auto lower = [](char c) {
            return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(*a) != lower(*b))
            return false;
        if (*a == '\0')
            return true;
    }
}

bool SameCodecName(const char* a, const char* b) {
    return a != nullptr && b != nullptr && std::strcmp(a, b) == 0;
}

}  // namespace vistrel
