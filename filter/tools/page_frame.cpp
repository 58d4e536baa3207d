// Opens the platform's property frame on a registered overlay filter, as a
// graph tool would: for looking at the page and for its screenshot.
//
//   orvant_page_frame.exe [telemetry]
// With "telemetry", a GPS block with a 3D fix and an OBD-II block with a
// working link exist while the frame is shown.
#include <windows.h>
#include <dshow.h>
#include <ocidl.h>
#include <olectl.h>
#include <wrl/client.h>

#include <cstring>

#include "filter/overlay_interface.h"
#include "telemetry/attach.h"

using Microsoft::WRL::ComPtr;

int main(int argc, char** argv) {
    telemetry::GpsPublisher gps;
    telemetry::ObdProvider obd;
    if (argc > 1 && std::strcmp(argv[1], "telemetry") == 0) {
        if (gps.Attach(telemetry::GpsPublisher::Role::kOutsideFeed) ==
            telemetry::GpsPublisher::Result::kPublishing) {
            gps.record()->FixState = telemetry::kFix3D;
        }
        if (obd.Create())
            obd.record()->LinkState = telemetry::kLinkWorking;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 2;
    int result = 0;
    {
        ComPtr<IUnknown> filter;
        ComPtr<ISpecifyPropertyPages> pages;
        CAUUID list = {};
        if (FAILED(CoCreateInstance(orvant::CLSID_OverlayFilter, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_PPV_ARGS(&filter))) ||
            FAILED(filter.As(&pages)) || FAILED(pages->GetPages(&list))) {
            result = 3;
        } else {
            IUnknown* objects[] = {filter.Get()};
            HRESULT hr = OleCreatePropertyFrame(nullptr, 0, 0, L"GPS Filter", 1, objects,
                                                list.cElems, list.pElems, 0, 0, nullptr);
            CoTaskMemFree(list.pElems);
            result = SUCCEEDED(hr) ? 0 : 4;
        }
    }
    CoUninitialize();
    return result;
}
