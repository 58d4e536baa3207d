// Shared by the console tools: a stop signal raised by Ctrl+C, Ctrl+Break or
// closing the console, and waiting on it with a deadline.
#pragma once

#include <windows.h>

namespace tools {

// Installs the handler; call once at start.
void InstallStopHandler();
// Waits up to `ms`; true when a stop was asked for (now or before).
bool WaitForStop(DWORD ms);
bool StopRequested();

// A deadline from "--seconds N"; 0 means none.
class Deadline {
  public:
    explicit Deadline(double seconds);
    bool Passed() const;
    // Milliseconds left, at most `cap`.
    DWORD Remaining(DWORD cap) const;

  private:
    ULONGLONG end_ = 0;
};

}  // namespace tools
