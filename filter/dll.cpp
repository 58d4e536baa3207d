// orvant.dll's entry points over its class-factory table.
#include <windows.h>
#include <dshow.h>
#include <uuids.h>

#include "filter/overlay_filter.h"
#include "filter/overlay_page.h"
#include "framework/class_factory.h"
#include "framework/registration.h"

namespace {

const REGPINTYPES kAnyType = {&GUID_NULL, &GUID_NULL};
const REGFILTERPINS2 kPins[] = {
    {0, 1, 1, &kAnyType, 0, nullptr, nullptr},
    {REG_PINFLAG_B_OUTPUT, 1, 1, &kAnyType, 0, nullptr, nullptr},
};
const dshow::FilterSetup kFilterSetup = {MERIT_DO_NOT_USE, 2, kPins, nullptr};

const dshow::FactoryEntry kClasses[] = {
    {L"Orvant Filter", &orvant::CLSID_OverlayFilter, dshow::CreateInstance<orvant::OverlayFilter>,
     &kFilterSetup},
    {L"Orvant Filter Properties", &orvant::CLSID_OverlayPropertyPage,
     dshow::CreateInstance<orvant::OverlayPropertyPage>, nullptr},
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
