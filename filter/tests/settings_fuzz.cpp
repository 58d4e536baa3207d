// The overlay's inputs from outside: profile values of any text, persisted
// streams of any bytes, settings and telemetry records as other processes may
// leave them, and format blocks of other filters. The first byte picks the path.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fake_renderer.h"
#include "filter/composition.h"
#include "filter/overlay_settings.h"
#include "filter/video_frame.h"
#include "memory_profile.h"

using namespace orvant;

namespace {

const char* const kKeys[] = {"Color", "FontWidth", "FontHeight", "Font",  "Custom",
                             "Flags", "Mode0",     "Mode1",      "Mode2", "Mode3",
                             "Mode4", "Mode5",     "Mode6",      "Mode7"};

void Require(bool condition) {
    if (!condition)
        std::abort();
}

void CheckTexts(const OverlaySettings& s) {
    Require(std::memchr(s.Font, 0, sizeof(s.Font)) != nullptr);
    Require(std::memchr(s.Custom, 0, sizeof(s.Custom)) != nullptr);
}

void ProfileValues(const uint8_t* data, size_t size) {
    testing::MemoryProfile profile;
    std::string value;
    size_t key = 0;
    for (size_t i = 0; i <= size && key < 14; ++i) {
        if (i == size || data[i] == '\n') {
            profile.Set("Orvant0", kKeys[key++], value);
            value.clear();
        } else {
            value.push_back(static_cast<char>(data[i]));
        }
    }
    OverlaySettings s{};
    LoadSettings(profile, s);
    CheckTexts(s);
    Require(std::strlen(s.Font) <= 126 && std::strlen(s.Custom) <= 62);
    SaveSettings(profile, s);
    OverlaySettings back{};
    LoadSettings(profile, back);
    Require(std::memcmp(&s, &back, sizeof(s)) == 0);
}

void PersistStream(const uint8_t* data, size_t size) {
    OverlaySettings s{};
    const OverlaySettings before = s;
    const bool ok = DecodePersistFields({data, size}, s);
    Require(ok == (size >= kPersistFieldsSize));
    if (!ok)
        Require(std::memcmp(&s, &before, sizeof(s)) == 0);
    CheckTexts(s);
}

void Records(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    bytes.resize(sizeof(OverlaySettings) + sizeof(telemetry::GpsSharedRecord) + 512, 0);
    OverlaySettings settings;
    telemetry::GpsSharedRecord gps;
    telemetry::ObdSharedRecord obd{};
    std::memcpy(&settings, bytes.data(), sizeof(settings));
    std::memcpy(&gps, bytes.data() + sizeof(settings), sizeof(gps));
    std::memcpy(&obd, bytes.data() + sizeof(settings) + sizeof(gps), 200);

    testing::MemoryProfile profile;
    SaveSettings(profile, settings);

    constexpr int W = 96, H = 64;
    const FrameGeometry g{W, H, 3, W * 3, (bytes[0] & 1) != 0};
    std::vector<uint8_t> frame(g.frameBytes(), 0x20);
    testing::FakeRenderer renderer(W, H);
    CompositionState state;
    FrameComposition f;
    f.geometry = &g;
    f.frame = frame.data();
    f.surface = renderer.surface();
    f.settings = &settings;
    f.sources.gps = &gps;
    f.sources.obd = &obd;
    f.sources.custom = settings.Custom;
    f.sources.timeText = settings.Font;  // any bytes, maybe unterminated
    f.sources.dateText = settings.Custom;
    f.sources.milliseconds = static_cast<int>(gps.FixTime.Milliseconds);
    for (int frameNo = 0; frameNo < 2; ++frameNo) {
        f.fontRebuilt = frameNo == 0;
        ComposeOverlay(state, renderer, f);
    }
}

void Format(const uint8_t* data, size_t size) {
    FrameGeometry g;
    for (int bits : {24, 32}) {
        if (!ParseVideoInfo({data, size}, bits, g))
            continue;
        Require(g.valid() && g.width <= kMaxFrameSide && g.height <= kMaxFrameSide);
        Require(g.stride >= static_cast<size_t>(g.width) * g.bytesPerPixel);
        if (g.frameBytes() > (1u << 20))
            continue;
        std::vector<uint8_t> in(g.frameBytes(), 1), out(g.frameBytes() - (size & 1), 0);
        CopyFrame(g, in, out, true, true);
        CopyFrame(g, in, out, false, true);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    switch (data[0] % 4) {
        case 0:
            ProfileValues(data + 1, size - 1);
            break;
        case 1:
            PersistStream(data + 1, size - 1);
            break;
        case 2:
            Records(data + 1, size - 1);
            break;
        default:
            Format(data + 1, size - 1);
            break;
    }
    return 0;
}
