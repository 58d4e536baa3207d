// Class identifiers shared between the recorder and the components it loads,
// written in this one place. They exist on Windows only; elsewhere the
// header declares nothing.
#pragma once

#ifdef _WIN32
#include <guiddef.h>

namespace vistrel {

// The overlay filter, served by orvant.dll.
// {8B4A194C-061F-4E53-BEE5-08B55129CB9D}
inline constexpr GUID CLSID_OverlayFilter = {
    0x8B4A194C, 0x061F, 0x4E53, {0xBE, 0xE5, 0x08, 0xB5, 0x51, 0x29, 0xCB, 0x9D}};

}  // namespace vistrel
#endif
