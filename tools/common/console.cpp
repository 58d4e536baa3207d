#include "tools/common/console.h"

#include "common/win_handle.h"

namespace tools {

namespace {

vistrel::UniqueHandle& StopEvent() {
    static vistrel::UniqueHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    return event;
}

BOOL WINAPI OnConsoleEvent(DWORD) {
    SetEvent(StopEvent().get());
    return TRUE;  // the main loop ends the program after detaching cleanly
}

}  // namespace

void InstallStopHandler() {
    StopEvent();
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool WaitForStop(DWORD ms) {
    return WaitForSingleObject(StopEvent().get(), ms) == WAIT_OBJECT_0;
}

bool StopRequested() {
    return WaitForStop(0);
}

Deadline::Deadline(double seconds) {
    if (seconds > 0)
        end_ = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000.0);
}

bool Deadline::Passed() const {
    return end_ != 0 && GetTickCount64() >= end_;
}

DWORD Deadline::Remaining(DWORD cap) const {
    if (end_ == 0)
        return cap;
    ULONGLONG now = GetTickCount64();
    if (now >= end_)
        return 0;
    ULONGLONG left = end_ - now;
    return left < cap ? static_cast<DWORD>(left) : cap;
}

}  // namespace tools
