// The test camera filter: a live push source with a capture pin and a
// preview pin, each drawing the test pattern on its own streaming thread.
// The fault switch (fault_switch.h) makes it behave as a device that went
// away. CrossbarCamera is its second form, with an analog input.
#pragma once

#include <atomic>
#include <span>
#include <string_view>

#include "framework/push_source.h"
#include "testcam/camera_modes.h"
#include "testcam/camera_pin.h"
#include "testcam/fault_switch.h"
#include "testcam/pattern.h"

namespace testcam {

class TestCamera : public dshow::PushSource {
  public:
    explicit TestCamera(IUnknown* outer);

    // Streaming threads, before each frame: true once the fault switch has
    // taken the device away during this run; the first thread to notice
    // posts EC_DEVICE_LOST.
    bool DeviceLost();
    // Streaming threads: the title line of the picture.
    virtual std::string_view Title() { return kDefaultTitle; }
    // Frame periods of `period` (100-ns units) since the camera was created:
    // the frame numbers go on from it across stops and starts, so a gap
    // anywhere downstream shows as missing numbers.
    int64_t PeriodsSinceCreated(int64_t period) const;

    CameraPin& capture() { return capture_; }
    CameraPin& preview() { return preview_; }
    // What the pins offer, fixed for the camera's life.
    std::span<const CameraMode> modes() const { return modes_; }
    size_t default_mode() const { return default_mode_; }

  protected:
    TestCamera(IUnknown* outer, REFCLSID clsid, std::span<const CameraMode> modes = CameraModes(),
               size_t default_mode = kDefaultMode);

    // Starting (stopped to paused, paused to running) fails with kDeviceGone
    // while the fault switch is set. Stopping is never refused: a graph that
    // stops a device that went away must still get it stopped.
    HRESULT InitStream() override;
    HRESULT StartStream(REFERENCE_TIME start) override;

  private:
    // Posts EC_DEVICE_LOST once per loss: until a start succeeds again.
    void ReportLost();

    // Before the pins, which read them as they are made.
    std::span<const CameraMode> modes_;
    size_t default_mode_;
    CameraPin capture_;
    CameraPin preview_;
    FaultSwitch fault_;
    std::atomic<bool> lost_{false};
    int64_t created_ = 0;  // performance counter
};

// "Test Camera (YUY2)": the same picture in YUY2 only, a format that a
// filter taking only RGB refuses.
class Yuy2Camera final : public TestCamera {
  public:
    explicit Yuy2Camera(IUnknown* outer);
};

}  // namespace testcam
