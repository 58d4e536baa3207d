// vistrel-mjpeg.dll's class-factory table; the entry points are the
// framework's. regsvr32 registers "Vistrel MJPEG Compressor" in the video
// compressor category, where capture programs list their codecs, and the
// class of its page.
#include <windows.h>
#include <dshow.h>
#include <uuids.h>

#include "codec/compressor_filter.h"
#include "codec/compressor_page.h"
#include "codec/mjpeg_ids.h"
#include "framework/dll_entry.h"
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

const dshow::ComServer dshow::kThisServer{kClasses};
