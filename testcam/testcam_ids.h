// Identity of the test cameras, for programs and tests that create them
// directly or find them through the system device enumerator.
#pragma once

#include <windows.h>

namespace testcam {

// {39331074-C9D0-474C-B069-436019AB0843}
inline constexpr CLSID CLSID_TestCamera = {
    0x39331074, 0xc9d0, 0x474c, {0xb0, 0x69, 0x43, 0x60, 0x19, 0xab, 0x08, 0x43}};
// The second form: the camera with an analog input and its own crossbar.
// {39331074-C9D0-474C-B069-436019AB0844}
inline constexpr CLSID CLSID_TestCameraCrossbar = {
    0x39331074, 0xc9d0, 0x474c, {0xb0, 0x69, 0x43, 0x60, 0x19, 0xab, 0x08, 0x44}};
// The third form: the camera in YUY2 only.
// {39331074-C9D0-474C-B069-436019AB0846}
inline constexpr CLSID CLSID_TestCameraYuy2 = {
    0x39331074, 0xc9d0, 0x474c, {0xb0, 0x69, 0x43, 0x60, 0x19, 0xab, 0x08, 0x46}};
// The crossbar that the second form brings into its graph.
// {39331074-C9D0-474C-B069-436019AB0845}
inline constexpr CLSID CLSID_TestCrossbar = {
    0x39331074, 0xc9d0, 0x474c, {0xb0, 0x69, 0x43, 0x60, 0x19, 0xab, 0x08, 0x45}};

// The names under which the system device enumerator lists them, and the
// graph name of the crossbar.
inline constexpr const wchar_t* kTestCameraName = L"Test Camera";
inline constexpr const wchar_t* kCrossbarCameraName = L"Test Camera (Crossbar)";
inline constexpr const wchar_t* kCrossbarName = L"Test Crossbar";
inline constexpr const wchar_t* kYuy2CameraName = L"Test Camera (YUY2)";

// "DevicePath" of each device's property bag, as a recorder shows it in
// "FriendlyName(DevicePath)"; distinct, in the form real device paths take.
inline constexpr const char* kTestCameraPath =
    "\\\\?\\root#testcam#0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
inline constexpr const char* kCrossbarCameraPath =
    "\\\\?\\root#testcam#0001#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
inline constexpr const char* kYuy2CameraPath =
    "\\\\?\\root#testcam#0002#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";

// The fault switch: a manual-reset event of this name; see fault_switch.h.
inline constexpr const char* kFaultEventName = "TestCameraFault";

}  // namespace testcam
