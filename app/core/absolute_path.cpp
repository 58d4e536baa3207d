#include <windows.h>

#include "app/core/path_rules.h"

namespace vistrel {

std::optional<std::string> AbsolutePath(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    char full[MAX_PATH + 1];
    char* namePart = nullptr;
    DWORD n = GetFullPathNameA(text.c_str(), sizeof full, full, &namePart);
    if (n == 0 || n >= sizeof full)
        return std::nullopt;
    return std::string(full, n);
}

}  // namespace vistrel
