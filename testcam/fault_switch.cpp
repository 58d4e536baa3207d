#include "testcam/fault_switch.h"

#include "testcam/testcam_ids.h"

namespace testcam {

FaultSwitch::FaultSwitch() : event_(CreateEventA(nullptr, TRUE, FALSE, kFaultEventName)) {}

bool FaultSwitch::IsSet() const {
    // Without the event (no rights, out of handles) the camera works.
    return event_ && WaitForSingleObject(event_.get(), 0) == WAIT_OBJECT_0;
}

}  // namespace testcam
