// Registry values may be written by any program: whatever type and bytes a
// value has, decoding it must never read past the image, never leave a text
// setting without its terminating zero, and must keep valid settings valid.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "app/core/settings_table.h"

namespace {

bool Terminated(const char* text, size_t size) {
    return std::memchr(text, 0, size) != nullptr;
}

}  // namespace

// First byte: table row; second byte: stored type; the rest: the value image.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const vistrel::SettingRow& row =
        vistrel::SettingsTable[data[0] % vistrel::SettingsTable.size()];
    uint32_t type = data[1] % 12;
    std::span<const uint8_t> image(data + 2, size - 2);

    vistrel::RecorderSettings settings;
    vistrel::DecodeStoredValue(row, type, image, settings);
    vistrel::ClampWindowPosition(settings.windowPosition);
    vistrel::ApplyArchiveDefault(settings);

    if (!Terminated(settings.capFilename, sizeof(settings.capFilename)) ||
        !Terminated(settings.archive, sizeof(settings.archive)) ||
        !Terminated(settings.vCodec, sizeof(settings.vCodec)) ||
        !Terminated(settings.aCodec, sizeof(settings.aCodec)) ||
        !Terminated(settings.tvVideoDevice, sizeof(settings.tvVideoDevice)) ||
        !Terminated(settings.tvAudioDevice, sizeof(settings.tvAudioDevice))) {
        std::abort();
    }
    if (!std::isfinite(settings.frameRate) || settings.frameRate <= 0)
        std::abort();
    if (settings.windowPosition.width < 30 || settings.windowPosition.left < 0)
        std::abort();

    // What is stored again is never larger than its row and decodes back to
    // the same setting.
    for (const vistrel::SettingRow& r : vistrel::SettingsTable) {
        std::vector<uint8_t> encoded = vistrel::EncodeSettingValue(r, settings);
        if (encoded.size() > r.size)
            std::abort();
        vistrel::RecorderSettings again = settings;
        if (!vistrel::DecodeStoredValue(r, r.type, encoded, again))
            std::abort();
        if (vistrel::EncodeSettingValue(r, again) != encoded)
            std::abort();
    }
    return 0;
}
