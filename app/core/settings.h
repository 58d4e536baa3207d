// The recorder's persisted settings (the original fourteen, "Sidecars" and
// "MinFreeGB"): the one process-wide record that every part of the program
// reads and changes directly. Only the settings store moves it to and from
// the registry. Portable: no Windows calls.
#pragma once

#include <cstdint>

namespace vistrel {

// The main window's outer rectangle in screen pixels.
struct WindowPosition {
    int32_t left = 100;
    int32_t top = 100;
    int32_t width = 320;
    int32_t height = 240;
};

struct RecorderSettings {
    WindowPosition windowPosition;
    char capFilename[260] = "C:\\Video\\Capture";  // capture folder plus file-name stem
    char archive[260] = "";                        // archive folder
    char vCodec[64] = "";
    char aCodec[64] = "PCM";
    char tvVideoDevice[256] = "";
    char tvAudioDevice[256] = "";
    double frameRate = 29.97;
    uint32_t vidFlags = 8;       // gVidFlags, stored as "Preview"
    uint32_t capSeconds = 3600;  // 0: segments have no time limit
    uint32_t resolution = 0;     // index in the capture format catalogue
    uint32_t fileLimit = 0;      // 0: no limit
    uint32_t gbLimit = 0;        // whole GiB; 0: no limit
    uint32_t input = 0;          // index of the video input
    uint32_t sidecars = 1;       // 0: no GPX and SRT files beside the segments
    uint32_t minFreeGB = 2;      // whole GiB the disk keeps free; 0: no floor
};

// Bits of gVidFlags. Bits not named here carry no meaning but are kept.
enum : uint32_t {
    kFlagPreviewShown = 0x001,
    kFlagAlwaysOnTop = 0x004,
    kFlagLockAspect = 0x008,
    kFlagFullScreen = 0x010,
    kFlagStartRecording = 0x020,
    kFlagMultiFile = 0x040,
    kFlagStartMinimized = 0x080,
    kFlagFixedFrame = 0x200,
    kFlagOverlay = 0x400,
};

inline constexpr char kDefaultCapFilename[] = "C:\\Video\\Capture";
inline constexpr char kDefaultArchive[] = "C:\\Archive";
// The compressor a first start records with, when it is registered.
inline constexpr char kDefaultVideoCodec[] = "Vistrel MJPEG Compressor";

// The live settings of this run (built-in defaults until loaded).
extern RecorderSettings gSettings;
// The option bit set, an alias of gSettings.vidFlags.
extern uint32_t& gVidFlags;

}  // namespace vistrel
