#include "common/debug_output.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

namespace vistrel {

void DebugLine(const char* format, ...) {
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    OutputDebugStringA(line);
}

void DebugFailure(const char* where, const char* what, long hr) {
    DebugLine("%s: %s failed (0x%08lX)\n", where, what, static_cast<unsigned long>(hr));
}

}  // namespace vistrel
