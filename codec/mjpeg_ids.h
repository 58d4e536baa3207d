// Identity of the MJPEG compressor in vistrel-mjpeg.dll, for programs that
// create it by class identifier or find it in the video compressor category
// by its friendly name (the name a recorder stores as its chosen codec).
#pragma once

#include <windows.h>

namespace mjpeg {

// {6390F6C0-65D0-4381-A28E-9973BA5D4BB4}
inline constexpr CLSID CLSID_MjpegCompressor = {
    0x6390F6C0, 0x65D0, 0x4381, {0xA2, 0x8E, 0x99, 0x73, 0xBA, 0x5D, 0x4B, 0xB4}};
// Its property page: quality and chroma subsampling.
// {4E2E4BB7-38F3-4C22-9F7C-79AA50A91062}
inline constexpr CLSID CLSID_MjpegPropertyPage = {
    0x4E2E4BB7, 0x38F3, 0x4C22, {0x9F, 0x7C, 0x79, 0xAA, 0x50, 0xA9, 0x10, 0x62}};

// "FriendlyName" in the video compressor category.
inline constexpr const wchar_t* kCompressorName = L"Vistrel MJPEG Compressor";
inline constexpr const char* kCompressorNameA = "Vistrel MJPEG Compressor";

// Where each user's settings live (HKEY_CURRENT_USER): "Quality", a DWORD
// from 0 to 100 (default 85), and "Chroma", a DWORD 420 (default) or 422.
inline constexpr const char* kSettingsKey = "Software\\Halvorix\\Vistrel MJPEG Compressor";

}  // namespace mjpeg
