#include "framework/registry_key.h"

#include <vector>

namespace dshow {

RegistryKey RegistryKey::Create(HKEY parent, const std::string& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return RegistryKey();
    }
    return RegistryKey(key);
}

RegistryKey RegistryKey::Open(HKEY parent, const std::string& path, REGSAM access) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, path.c_str(), 0, access, &key) != ERROR_SUCCESS) {
        return RegistryKey();
    }
    return RegistryKey(key);
}

LONG RegistryKey::SetString(const char* name, const std::string& value) const {
    return RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1));
}

LONG RegistryKey::SetWideString(const wchar_t* name, const std::wstring& value) const {
    return RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

bool RegistryKey::GetString(const char* name, std::string* value) const {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return false;
    }
    // Room for a terminator the stored value may lack.
    std::vector<char> text(size + 1, '\0');
    if (RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return false;
    }
    value->assign(text.data());
    return true;
}

bool DeleteKeyIfEmpty(HKEY parent, const std::string& path) {
    RegistryKey key = RegistryKey::Open(parent, path);
    if (!key)
        return true;
    DWORD subkeys = 0;
    DWORD values = 0;
    if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    key.reset();
    if (subkeys != 0 || values != 0)
        return false;
    return RegDeleteKeyA(parent, path.c_str()) == ERROR_SUCCESS;
}

}  // namespace dshow
