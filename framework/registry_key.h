// Owner of an open registry key, and the few registry steps registration needs.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

namespace dshow {

class RegistryKey {
  public:
    RegistryKey() = default;
    explicit RegistryKey(HKEY key) : key_(key) {}
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    RegistryKey(RegistryKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
    RegistryKey& operator=(RegistryKey&& other) noexcept {
        if (this != &other) {
            reset();
            key_ = std::exchange(other.key_, nullptr);
        }
        return *this;
    }
    ~RegistryKey() { reset(); }

    static RegistryKey Create(HKEY parent, const std::string& path);
    static RegistryKey Open(HKEY parent, const std::string& path, REGSAM access = KEY_READ);

    HKEY get() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }
    void reset() {
        if (key_)
            RegCloseKey(key_);
        key_ = nullptr;
    }

    // REG_SZ value; an empty name is the default value.
    LONG SetString(const char* name, const std::string& value) const;
    // REG_SZ value from UTF-16 text, for paths with letters the code page lacks.
    LONG SetWideString(const wchar_t* name, const std::wstring& value) const;
    // REG_SZ value, or nothing when absent or of another type.
    bool GetString(const char* name, std::string* value) const;

  private:
    HKEY key_ = nullptr;
};

// Deletes parent\path when it has neither values nor subkeys; true when it is
// gone afterwards (also when it never existed).
bool DeleteKeyIfEmpty(HKEY parent, const std::string& path);

}  // namespace dshow
