// The test camera filter: a live push source with a capture pin and a
// preview pin, each drawing the test pattern on its own streaming thread.
//
// Room is left for variants (a crossbar in front, a fault that makes the
// device go away): they are further sources built from the same pins.
#pragma once

#include "framework/push_source.h"
#include "testcam/camera_pin.h"

namespace testcam {

class TestCamera final : public dshow::PushSource {
  public:
    explicit TestCamera(IUnknown* outer);

    CameraPin& capture() { return capture_; }
    CameraPin& preview() { return preview_; }

  private:
    CameraPin capture_;
    CameraPin preview_;
};

}  // namespace testcam
