// testcam.dll: the in-process server of the test cameras. regsvr32 registers
// "Test Camera", "Test Camera (Crossbar)" and "Test Camera (YUY2)" in the video input device
// category, where the system device enumerator lists them like real cameras,
// each with a "DevicePath" of its own; and the class of "Test Crossbar",
// which the crossbar camera brings into its graphs.
#include <windows.h>
#include <dshow.h>

#include "framework/dll_entry.h"
#include "framework/registration.h"
#include "framework/registry_key.h"
#include "testcam/crossbar_camera.h"
#include "testcam/test_camera.h"
#include "testcam/test_crossbar.h"
#include "testcam/testcam_ids.h"

namespace {

const REGPINTYPES kPinTypes[] = {
    {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24},
    {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB32},
};
const REGPINTYPES kYuy2Type = {&MEDIATYPE_Video, &MEDIASUBTYPE_YUY2};
const REGPINTYPES kAnalogType = {&MEDIATYPE_AnalogVideo, &MEDIASUBTYPE_AnalogVideo_NTSC_M};
const REGFILTERPINS2 kPins[] = {
    {REG_PINFLAG_B_OUTPUT, 1, 2, kPinTypes, 0, nullptr, &PIN_CATEGORY_CAPTURE},
    {REG_PINFLAG_B_OUTPUT, 1, 2, kPinTypes, 0, nullptr, &PIN_CATEGORY_PREVIEW},
    {0, 1, 1, &kAnalogType, 0, nullptr, &PIN_CATEGORY_ANALOGVIDEOIN},
};
const REGFILTERPINS2 kYuy2Pins[] = {
    {REG_PINFLAG_B_OUTPUT, 1, 1, &kYuy2Type, 0, nullptr, &PIN_CATEGORY_CAPTURE},
    {REG_PINFLAG_B_OUTPUT, 1, 1, &kYuy2Type, 0, nullptr, &PIN_CATEGORY_PREVIEW},
};
// Never picked by intelligent connect; applications choose them by name.
const dshow::FilterSetup kCameraSetup = {MERIT_DO_NOT_USE, 2, kPins,
                                         &CLSID_VideoInputDeviceCategory};
const dshow::FilterSetup kCrossbarCameraSetup = {MERIT_DO_NOT_USE, 3, kPins,
                                                 &CLSID_VideoInputDeviceCategory};
const dshow::FilterSetup kYuy2CameraSetup = {MERIT_DO_NOT_USE, 2, kYuy2Pins,
                                             &CLSID_VideoInputDeviceCategory};

const dshow::FactoryEntry kClasses[] = {
    {testcam::kTestCameraName, &testcam::CLSID_TestCamera,
     dshow::CreateInstance<testcam::TestCamera>, &kCameraSetup},
    {testcam::kCrossbarCameraName, &testcam::CLSID_TestCameraCrossbar,
     dshow::CreateInstance<testcam::CrossbarCamera>, &kCrossbarCameraSetup},
    {testcam::kYuy2CameraName, &testcam::CLSID_TestCameraYuy2,
     dshow::CreateInstance<testcam::Yuy2Camera>, &kYuy2CameraSetup},
    {testcam::kCrossbarName, &testcam::CLSID_TestCrossbar,
     dshow::CreateInstance<testcam::TestCrossbar>, nullptr},
};

struct Device {
    const CLSID* clsid;
    const char* path;
};
const Device kDevices[] = {
    {&testcam::CLSID_TestCamera, testcam::kTestCameraPath},
    {&testcam::CLSID_TestCameraCrossbar, testcam::kCrossbarCameraPath},
    {&testcam::CLSID_TestCameraYuy2, testcam::kYuy2CameraPath},
};

// The category instance the device enumerator reads the property bag from.
std::string InstanceKey(const Device& device) {
    return "CLSID\\" + dshow::GuidText(CLSID_VideoInputDeviceCategory) + "\\Instance\\" +
           dshow::GuidText(*device.clsid);
}

// Each device's "DevicePath", written after the framework made the instances
// and removed before it takes them away again (which it does only when they
// hold nothing but its own values).
HRESULT DevicePaths(bool install) {
    for (const Device& device : kDevices) {
        dshow::RegistryKey key =
            dshow::RegistryKey::Open(HKEY_CLASSES_ROOT, InstanceKey(device), KEY_SET_VALUE);
        if (!install) {
            if (key)
                RegDeleteValueA(key.get(), "DevicePath");
        } else if (!key || key.SetString("DevicePath", device.path) != ERROR_SUCCESS) {
            return E_ACCESSDENIED;
        }
    }
    return S_OK;
}

}  // namespace

const dshow::ComServer dshow::kThisServer{kClasses, DevicePaths};
