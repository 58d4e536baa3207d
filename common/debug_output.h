// The program's only diagnostics: lines on the debugger output.
#pragma once

namespace vistrel {

// One line, formatted as printf does; cut at 255 bytes.
void DebugLine(const char* format, ...);
// "<where>: <what> failed (0x<hr>)", for a call that returned a failure code.
void DebugFailure(const char* where, const char* what, long hr);

}  // namespace vistrel
