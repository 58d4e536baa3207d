#include "testcam/test_camera.h"

#include "testcam/testcam_ids.h"

namespace testcam {

TestCamera::TestCamera(IUnknown* outer)
    : PushSource(outer, CLSID_TestCamera),
      capture_(*this, L"Capture", PIN_CATEGORY_CAPTURE),
      preview_(*this, L"Preview", PIN_CATEGORY_PREVIEW) {
    AddPin(&capture_);
    AddPin(&preview_);
}

}  // namespace testcam
