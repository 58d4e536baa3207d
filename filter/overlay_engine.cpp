#include "filter/overlay_engine.h"

#include <atomic>
#include <cstring>

#include "telemetry/protocol.h"

namespace orvant {

namespace {

bool NeedsClock(const OverlaySettings& s) {
    for (uint8_t item : s.Mode) {
        if (item == kItemTime || item == kItemDate || item == kItemDateTime)
            return true;
    }
    return false;
}

}  // namespace

OverlayEngine::OverlayEngine(ProfileStore* profile)
    : profile_(profile ? *profile : defaultProfile_) {
    reader_.Poll();
    if (claim_.TakeOffered()) {
        settings_ = claim_.record();
    } else {
        std::memset(&private_, 0, sizeof(private_));
        settings_ = &private_;
    }
    dshow::ScopedLock lock(lock_);
    LoadSettings(profile_, *settings_);
    settingsLoaded_ = true;
    SaveSettings(profile_, *settings_);
}

OverlayEngine::~OverlayEngine() {
    surface_.Destroy();
    reader_.Detach();
    claim_.Release();
}

bool OverlayEngine::SetFormat(const FrameGeometry& geometry) {
    dshow::ScopedLock lock(lock_);
    if (!geometry.valid())
        return false;
    settings_->FrameWidth = static_cast<int16_t>(geometry.width);
    settings_->FrameHeight = static_cast<int16_t>(geometry.height);
    GetTimeZoneInformation(&timeZone_);
    const bool resized = !surface_.valid() || geometry.width != geometry_.width ||
                         geometry.height != geometry_.height;
    geometry_ = geometry;
    if (!resized)
        return true;
    // A new size starts layout afresh, so nothing laid out for the old one
    // lies outside the new picture.
    state_ = CompositionState{};
    state_.lastInstance = settings_->InstanceNumber;
    return surface_.Create(geometry.width, geometry.height);
}

FrameGeometry OverlayEngine::geometry() {
    dshow::ScopedLock lock(lock_);
    return geometry_;
}

uint32_t OverlayEngine::flags() {
    return std::atomic_ref<uint32_t>(settings_->Flags).load(std::memory_order_relaxed);
}

size_t OverlayEngine::Transform(std::span<const uint8_t> in, std::span<uint8_t> out) {
    const uint32_t f = flags();
    FrameGeometry g;
    {
        dshow::ScopedLock lock(lock_);
        g = geometry_;
    }
    const CopyResult copied = CopyFrame(g, in, out, f & FLAG_FLIP, f & FLAG_MIRROR);
    if (copied.wholeFrame) {
        dshow::ScopedLock lock(lock_);
        if (g.valid() && g.width == geometry_.width && g.height == geometry_.height) {
            ComposeLocked(out.data());
        }
    }
    return copied.bytes;
}

void OverlayEngine::DisplayTime(const telemetry::GpsSharedRecord* gps, bool needed,
                                ItemSources& sources, char* time, char* date) {
    SYSTEMTIME local;
    GetLocalTime(&local);
    if (reader_.hasGps())
        telemetry::StampFixMilliseconds(reader_.gps(), local.wMilliseconds);
    if (!needed)
        return;
    SYSTEMTIME shown = local;
    if (gps && gps->FixValid) {
        SYSTEMTIME fix;
        static_assert(sizeof(fix) == sizeof(gps->FixTime));
        std::memcpy(&fix, &gps->FixTime, sizeof(fix));
        fix.wMilliseconds = local.wMilliseconds;
        SYSTEMTIME converted;
        if (SystemTimeToTzSpecificLocalTime(&timeZone_, &fix, &converted))
            shown = converted;
    }
    if (!GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &shown, nullptr, time, 24))
        time[0] = '\0';
    if (!GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &shown, nullptr, date, 32)) {
        date[0] = '\0';
    }
    sources.milliseconds = shown.wMilliseconds;
}

void OverlayEngine::ComposeLocked(uint8_t* frame) {
    if ((!reader_.hasGps() || !reader_.hasObd()) && attachRetry_.Due(GetTickCount64()))
        reader_.Poll();
    // A width of 0 is a valid font width (the face's own aspect), so whether
    // the record was loaded is kept apart from its fields.
    if (!settingsLoaded_ || settings_->InstanceNumber != state_.lastInstance) {
        LoadSettings(profile_, *settings_);
        settingsLoaded_ = true;
        state_.lastInstance = settings_->InstanceNumber;
    }
    if (!surface_.valid())
        return;

    bool rebuilt = false;
    if (!surface_.hasFont() || (flags() & FLAG_FONT_DIRTY)) {
        std::atomic_ref<uint32_t>(settings_->Flags).fetch_and(~FLAG_FONT_DIRTY);
        surface_.RebuildFont(*settings_);
        state_.FontRebuilt();
        rebuilt = true;
    }
    // One consistent picture of everything other processes may be writing.
    OverlaySettings settings;
    telemetry::SnapshotOsd({reinterpret_cast<const uint8_t*>(settings_), sizeof(settings)},
                           settings);
    const bool hasGps = reader_.hasGps() && telemetry::SnapshotGps(reader_.gps(), gps_);
    const bool hasObd = reader_.hasObd() && telemetry::SnapshotObd(reader_.obd(), obd_);

    FrameComposition f;
    f.geometry = &geometry_;
    f.frame = frame;
    f.surface = surface_.view();
    f.settings = &settings;
    f.sources.gps = hasGps ? &gps_ : nullptr;
    f.sources.obd = hasObd ? &obd_ : nullptr;
    f.sources.custom = settings.Custom;
    char time[24] = {};
    char date[32] = {};
    DisplayTime(f.sources.gps, NeedsClock(settings), f.sources, time, date);
    f.sources.timeText = time;
    f.sources.dateText = date;
    f.fontRebuilt = rebuilt;

    const uint32_t requests = ComposeOverlay(state_, surface_, f);
    if (hasObd && requests != 0)
        telemetry::RequestPids(reader_.obd(), requests);
}

HRESULT OverlayEngine::GetSettings(OverlaySettings* out) {
    dshow::ScopedLock lock(lock_);
    LoadSettings(profile_, *settings_);
    if (!out)
        return E_POINTER;
    std::memcpy(out, settings_, sizeof(*out));
    return S_OK;
}

HRESULT OverlayEngine::SetSettings(const OverlaySettings* source) {
    if (!source)
        return E_POINTER;
    dshow::ScopedLock lock(lock_);
    ReplaceSettings(*settings_, *source);
    SaveSettings(profile_, *settings_);
    return S_OK;
}

void OverlayEngine::EncodePersist(std::span<uint8_t, kPersistFieldsSize> out) {
    dshow::ScopedLock lock(lock_);
    EncodePersistFields(*settings_, out);
}

bool OverlayEngine::DecodePersist(std::span<const uint8_t> in) {
    dshow::ScopedLock lock(lock_);
    return DecodePersistFields(in, *settings_);
}

}  // namespace orvant
