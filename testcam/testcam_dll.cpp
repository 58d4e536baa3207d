// testcam.dll: the in-process server of the test camera. regsvr32 registers
// it in the video input device category as "Test Camera", where the system
// device enumerator lists it like a real camera.
#include <windows.h>
#include <dshow.h>

#include "framework/class_factory.h"
#include "framework/registration.h"
#include "testcam/test_camera.h"
#include "testcam/testcam_ids.h"

namespace {

const REGPINTYPES kPinTypes[] = {
    {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24},
    {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB32},
};
const REGFILTERPINS2 kPins[] = {
    {REG_PINFLAG_B_OUTPUT, 1, 2, kPinTypes, 0, nullptr, &PIN_CATEGORY_CAPTURE},
    {REG_PINFLAG_B_OUTPUT, 1, 2, kPinTypes, 0, nullptr, &PIN_CATEGORY_PREVIEW},
};
// Never picked by intelligent connect; applications choose it by name.
const dshow::FilterSetup kSetup = {MERIT_DO_NOT_USE, 2, kPins, &CLSID_VideoInputDeviceCategory};

const dshow::FactoryEntry kClasses[] = {
    {testcam::kTestCameraName, &testcam::CLSID_TestCamera,
     dshow::CreateInstance<testcam::TestCamera>, &kSetup},
};

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    return dshow::GetClassObject(kClasses, clsid, iid, out);
}
STDAPI DllCanUnloadNow() {
    return dshow::CanUnloadNow();
}
STDAPI DllRegisterServer() {
    return dshow::RegisterServer(kClasses, true);
}
STDAPI DllUnregisterServer() {
    return dshow::RegisterServer(kClasses, false);
}
