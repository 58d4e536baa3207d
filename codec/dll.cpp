// vistrel-mjpeg.dll's entry points over its class-factory table. regsvr32
// registers "Vistrel MJPEG Compressor" in the video compressor category,
// where capture programs list their codecs, and the class of its page.
#include <windows.h>
#include <dshow.h>
#include <uuids.h>

#include "codec/compressor_filter.h"
#include "codec/compressor_page.h"
#include "codec/mjpeg_ids.h"
#include "framework/class_factory.h"
#include "framework/registration.h"

namespace {

const REGPINTYPES kInputTypes[] = {
    {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24}, {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB32},
    {&MEDIATYPE_Video, &MEDIASUBTYPE_YUY2},  {&MEDIATYPE_Video, &mjpeg::kSubtypeI420},
    {&MEDIATYPE_Video, &MEDIASUBTYPE_IYUV},  {&MEDIATYPE_Video, &MEDIASUBTYPE_NV12},
};
const REGPINTYPES kOutputType = {&MEDIATYPE_Video, &MEDIASUBTYPE_MJPG};
const REGFILTERPINS2 kPins[] = {
    {0, 1, 6, kInputTypes, 0, nullptr, nullptr},
    {REG_PINFLAG_B_OUTPUT, 1, 1, &kOutputType, 0, nullptr, nullptr},
};
// Chosen by name from the category, never by intelligent connect.
const dshow::FilterSetup kCompressorSetup = {MERIT_DO_NOT_USE, 2, kPins,
                                             &CLSID_VideoCompressorCategory};

const dshow::FactoryEntry kClasses[] = {
    {mjpeg::kCompressorName, &mjpeg::CLSID_MjpegCompressor,
     dshow::CreateInstance<mjpeg::MjpegCompressor>, &kCompressorSetup},
    {L"Vistrel MJPEG Compressor Properties", &mjpeg::CLSID_MjpegPropertyPage,
     dshow::CreateInstance<mjpeg::MjpegPropertyPage>, nullptr},
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
