// The segment writer's one way of naming a failure: a debugger line with
// what failed, the HRESULT and the file, for the caller to return after.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

namespace avi {

inline void LogFailure(const char* what, HRESULT hr, const std::wstring& path) {
    char line[512];
    std::snprintf(line, sizeof(line), "SegmentWriter: %s, %08lX, %ls\n", what,
                  static_cast<unsigned long>(hr), path.c_str());
    OutputDebugStringA(line);
}

}  // namespace avi
