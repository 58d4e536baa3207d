// orvant.dll's class-factory table; the entry points are the framework's.
#include <windows.h>
#include <dshow.h>
#include <uuids.h>

#include "filter/overlay_filter.h"
#include "filter/overlay_page.h"
#include "framework/dll_entry.h"
#include "framework/registration.h"

namespace {

const dshow::FilterSetup kFilterSetup = {MERIT_DO_NOT_USE, 2, dshow::kAnyTypeInOutPins, nullptr};

const dshow::FactoryEntry kClasses[] = {
    {L"Orvant Filter", &orvant::CLSID_OverlayFilter, dshow::CreateInstance<orvant::OverlayFilter>,
     &kFilterSetup},
    {L"Orvant Filter Properties", &orvant::CLSID_OverlayPropertyPage,
     dshow::CreateInstance<orvant::OverlayPropertyPage>, nullptr},
};

}  // namespace

const dshow::ComServer dshow::kThisServer{kClasses};
