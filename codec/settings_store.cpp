#include "codec/settings_store.h"

#include "codec/mjpeg_ids.h"
#include "framework/registry_key.h"

namespace mjpeg {
namespace {

bool ReadDword(HKEY key, const char* name, DWORD* value) {
    DWORD type = 0;
    DWORD size = sizeof(*value);
    return RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) ==
               ERROR_SUCCESS &&
           type == REG_DWORD && size == sizeof(*value);
}

LONG WriteDword(HKEY key, const char* name, DWORD value) {
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value));
}

}  // namespace

Settings LoadUserSettings() {
    Settings s = kDefaultSettings;
    dshow::RegistryKey key = dshow::RegistryKey::Open(HKEY_CURRENT_USER, kSettingsKey);
    if (!key)
        return s;
    DWORD value = 0;
    if (ReadDword(key.get(), "Quality", &value) && value <= 100)
        s.quality = static_cast<int>(value);
    if (ReadDword(key.get(), "Chroma", &value) && (value == 420 || value == 422))
        s.chroma = static_cast<Chroma>(value);
    return s;
}

HRESULT SaveUserSettings(const Settings& s) {
    dshow::RegistryKey key = dshow::RegistryKey::Create(HKEY_CURRENT_USER, kSettingsKey);
    if (!key)
        return E_ACCESSDENIED;
    LONG error = WriteDword(key.get(), "Quality", static_cast<DWORD>(s.quality));
    if (error == ERROR_SUCCESS)
        error = WriteDword(key.get(), "Chroma", static_cast<DWORD>(s.chroma));
    return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error);
}

}  // namespace mjpeg
