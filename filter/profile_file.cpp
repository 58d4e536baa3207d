#include "filter/profile_file.h"

#include <windows.h>

namespace orvant {

int ProfileFile::GetInt(const char* section, const char* key, int defaultValue) {
    return static_cast<int>(GetProfileIntA(section, key, defaultValue));
}

void ProfileFile::GetString(const char* section, const char* key, const char* defaultValue,
                            char* buffer, uint32_t size) {
    if (size == 0)
        return;
    GetProfileStringA(section, key, defaultValue, buffer, size);
    buffer[size - 1] = '\0';
}

void ProfileFile::WriteString(const char* section, const char* key, const char* value) {
    // Failures are ignored: the overlay works on with the record it has.
    WriteProfileStringA(section, key, value);
}

}  // namespace orvant
