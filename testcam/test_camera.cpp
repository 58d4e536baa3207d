#include "testcam/test_camera.h"

#include "testcam/testcam_ids.h"

namespace testcam {

TestCamera::TestCamera(IUnknown* outer) : TestCamera(outer, CLSID_TestCamera) {}

TestCamera::TestCamera(IUnknown* outer, REFCLSID clsid, std::span<const CameraMode> modes,
                       size_t default_mode)
    : PushSource(outer, clsid),
      modes_(modes),
      default_mode_(default_mode),
      capture_(*this, L"Capture", PIN_CATEGORY_CAPTURE),
      preview_(*this, L"Preview", PIN_CATEGORY_PREVIEW) {
    AddPin(&capture_);
    AddPin(&preview_);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    created_ = now.QuadPart;
}

Yuy2Camera::Yuy2Camera(IUnknown* outer)
    : TestCamera(outer, CLSID_TestCameraYuy2, Yuy2CameraModes(), kDefaultYuy2Mode) {}

int64_t TestCamera::PeriodsSinceCreated(int64_t period) const {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    // In 100-ns units without overflow for years of uptime.
    int64_t ticks = now.QuadPart - created_;
    int64_t elapsed = ticks / frequency.QuadPart * 10000000 +
                      ticks % frequency.QuadPart * 10000000 / frequency.QuadPart;
    return period > 0 ? elapsed / period : 0;
}

HRESULT TestCamera::InitStream() {
    if (fault_.IsSet()) {
        ReportLost();
        return kDeviceGone;
    }
    lost_ = false;  // a new run of a device that is back
    return PushSource::InitStream();
}

HRESULT TestCamera::StartStream(REFERENCE_TIME start) {
    if (fault_.IsSet()) {
        ReportLost();
        return kDeviceGone;
    }
    return PushSource::StartStream(start);
}

bool TestCamera::DeviceLost() {
    if (lost_)
        return true;
    if (!fault_.IsSet())
        return false;
    ReportLost();
    return true;
}

void TestCamera::ReportLost() {
    if (!lost_.exchange(true))
        NotifyEvent(EC_DEVICE_LOST, reinterpret_cast<LONG_PTR>(owner()), 0);
}

}  // namespace testcam
