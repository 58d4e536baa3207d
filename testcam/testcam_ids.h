// Identity of the test camera, for programs and tests that create it directly.
#pragma once

#include <windows.h>

namespace testcam {

// {39331074-C9D0-474C-B069-436019AB0843}
inline constexpr CLSID CLSID_TestCamera = {
    0x39331074, 0xc9d0, 0x474c, {0xb0, 0x69, 0x43, 0x60, 0x19, 0xab, 0x08, 0x43}};

// The name under which the system device enumerator lists it.
inline constexpr const wchar_t* kTestCameraName = L"Test Camera";

}  // namespace testcam
