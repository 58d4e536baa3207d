#include "app/core/settings_store.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/instances.h"
#include "app/core/path_rules.h"
#include "app/core/settings.h"
#include "app/core/settings_table.h"
#include "common/debug_output.h"

namespace vistrel {

namespace {

// Closes a registry key on every path.
class RegistryKey {
  public:
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() {
        if (key_ != nullptr)
            RegCloseKey(key_);
    }
    HKEY* out() { return &key_; }
    HKEY get() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

// Values larger than this are not settings of ours and are not read.
constexpr DWORD kLargestValueRead = 64 * 1024;

// Reads one value whole into a buffer of its own size, so a value of any size
// or type is seen as it is and the variable is written only by the decoder.
bool QueryValue(HKEY key, const char* name, DWORD* type, std::vector<uint8_t>& data) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        DWORD size = 0;
        if (RegQueryValueExA(key, name, nullptr, type, nullptr, &size) != ERROR_SUCCESS)
            return false;
        if (size > kLargestValueRead)
            return false;
        data.assign(size + 1, 0);  // one spare byte: never a zero-size buffer
        DWORD got = size + 1;
        LONG rc = RegQueryValueExA(key, name, nullptr, type, data.data(), &got);
        if (rc == ERROR_MORE_DATA)
            continue;  // changed between the two calls
        if (rc != ERROR_SUCCESS)
            return false;
        data.resize(got);
        return true;
    }
    return false;
}

bool gKeyWasNew = false;

template <size_t N>
void CopyPath(char (&field)[N], const std::string& path) {
    std::snprintf(field, N, "%s", path.c_str());
}

// The capture and archive paths, made absolute with backslashes once, here:
// everything after relies on it. One that cannot be used falls back to the
// default, and the debugger output says why.
void NormalizeStoredPaths() {
    std::optional<std::string> capture = AbsolutePath(gSettings.capFilename);
    PathCheck check = capture ? CheckCapturePath(*capture) : PathCheck::kNotAbsolute;
    if (check != PathCheck::kOk) {
        DebugLine("settings: CapFilename \"%s\" is %s; using %s\n", gSettings.capFilename,
                  PathCheckText(check), kDefaultCapFilename);
        CopyPath(gSettings.capFilename, kDefaultCapFilename);
    } else {
        CopyPath(gSettings.capFilename, *capture);
    }
    std::string_view stem = gSettings.capFilename;
    stem = stem.substr(stem.find_last_of('\\') + 1);
    std::optional<std::string> archive = AbsolutePath(gSettings.archive);
    check = archive ? CheckArchivePath(*archive, stem.size()) : PathCheck::kNotAbsolute;
    if (check != PathCheck::kOk) {
        DebugLine("settings: Archive \"%s\" is %s; using %s\n", gSettings.archive,
                  PathCheckText(check), kDefaultArchive);
        CopyPath(gSettings.archive, kDefaultArchive);
    } else {
        CopyPath(gSettings.archive, *archive);
    }
}

}  // namespace

bool SettingsKeyWasNew() {
    return gKeyWasNew;
}

void LoadRegistrySettings() {
    std::memcpy(gSettings.capFilename, kDefaultCapFilename, sizeof(kDefaultCapFilename));
    std::string path = SettingsKeyPath(InstanceNumber());
    OutputDebugStringA(path.c_str());
    OutputDebugStringA("\n");
    RegistryKey key;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE,
                        nullptr, key.out(), &disposition) != ERROR_SUCCESS)
        return;
    gKeyWasNew = disposition == REG_CREATED_NEW_KEY;

    std::vector<uint8_t> data;
    for (const SettingRow& row : SettingsTable) {
        DWORD type = 0;
        if (QueryValue(key.get(), row.name, &type, data))
            DecodeStoredValue(row, type, data, gSettings);
    }
    char line[32];
    std::snprintf(line, sizeof(line), "gVidFlags %d\n", static_cast<int>(gVidFlags));
    OutputDebugStringA(line);
    ApplyArchiveDefault(gSettings);
    NormalizeStoredPaths();
    ClampWindowPosition(gSettings.windowPosition);
}

void SaveRegistrySettings() {
    std::string path = SettingsKeyPath(InstanceNumber());
    RegistryKey key;
    if (RegCreateKeyA(HKEY_CURRENT_USER, path.c_str(), key.out()) != ERROR_SUCCESS)
        return;
    for (const SettingRow& row : SettingsTable) {
        std::vector<uint8_t> image = EncodeSettingValue(row, gSettings);
        DWORD size = static_cast<DWORD>(image.size());
        // For a text the system looks at the byte after the given length and
        // counts it as a terminator when it is zero. Texts are stored without
        // one, so that byte must be there and must not be zero.
        if (row.type == kRegSz)
            image.push_back(0xFF);
        RegSetValueExA(key.get(), row.name, 0, row.type, image.data(), size);
    }
}

}  // namespace vistrel
