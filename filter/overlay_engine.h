// Everything the overlay filter does apart from COM: the settings record (a
// claimed "GPSOSDText%d" block or a private one), the telemetry readers, the
// frame geometry, the text surface and the per-frame copy and composition.
// Threads: construction, SetFormat and the persist calls on the graph thread;
// Transform on the streaming thread; Get/SetSettings on the page's thread.
// The filter lock serialises composition and the settings operations.
#pragma once

#include <windows.h>

#include <span>

#include "filter/attach_retry.h"
#include "filter/composition.h"
#include "filter/overlay_settings.h"
#include "filter/profile_file.h"
#include "filter/text_surface.h"
#include "filter/video_frame.h"
#include "framework/lock.h"
#include "telemetry/attach.h"

namespace orvant {

class OverlayEngine {
  public:
    // Takes the block whose ClaimFlag is raised (or a private record),
    // attaches the telemetry, loads the settings and saves them back.
    explicit OverlayEngine(ProfileStore* profile = nullptr);
    OverlayEngine(const OverlayEngine&) = delete;
    OverlayEngine& operator=(const OverlayEngine&) = delete;
    ~OverlayEngine();

    // The agreed video format; the surface is made (or remade for a new size).
    bool SetFormat(const FrameGeometry& geometry);
    FrameGeometry geometry();

    // One frame: the copy, then the overlay when a whole frame was copied.
    // Returns the bytes written to `out`.
    size_t Transform(std::span<const uint8_t> in, std::span<uint8_t> out);

    HRESULT GetSettings(OverlaySettings* out);
    HRESULT SetSettings(const OverlaySettings* source);
    uint32_t flags();

    void EncodePersist(std::span<uint8_t, kPersistFieldsSize> out);
    bool DecodePersist(std::span<const uint8_t> in);

    bool claimedBlock() const { return claim_.held(); }
    int claimedIndex() const { return claim_.index(); }

  private:
    void ComposeLocked(uint8_t* frame);
    void DisplayTime(const telemetry::GpsSharedRecord* gps, bool needed, ItemSources& sources,
                     char* time, char* date);

    dshow::CriticalSection lock_;
    ProfileFile defaultProfile_;
    ProfileStore& profile_;
    telemetry::OsdBlockClaim claim_;
    OverlaySettings private_{};
    OverlaySettings* settings_ = nullptr;
    telemetry::TelemetryReader reader_;
    AttachRetry attachRetry_;
    FrameGeometry geometry_;
    TextSurface surface_;
    CompositionState state_;
    bool settingsLoaded_ = false;
    TIME_ZONE_INFORMATION timeZone_{};
    telemetry::GpsSharedRecord gps_{};
    telemetry::ObdSharedRecord obd_{};
};

}  // namespace orvant
