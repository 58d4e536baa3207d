#include "framework/tests/registry_snapshot.h"

#include <cstdio>
#include <vector>

namespace fwtest {
namespace {

std::string ValueText(const char* name, DWORD type, const BYTE* data, DWORD size) {
    std::string text = std::string(name) + "=" + std::to_string(type) + ":";
    char hex[4];
    for (DWORD i = 0; i < size; ++i) {
        std::snprintf(hex, sizeof(hex), "%02x", data[i]);
        text += hex;
    }
    return text;
}

void Walk(HKEY key, const std::string& path, RegistrySnapshot& out) {
    std::set<std::string>& values = out[path];
    std::vector<char> name(16384);
    std::vector<BYTE> data(1 << 16);
    for (DWORD i = 0;; ++i) {
        DWORD name_size = static_cast<DWORD>(name.size());
        DWORD data_size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        LONG rc =
            RegEnumValueA(key, i, name.data(), &name_size, nullptr, &type, data.data(), &data_size);
        if (rc == ERROR_MORE_DATA) {
            data.resize(data.size() * 4);
            --i;
            continue;
        }
        if (rc != ERROR_SUCCESS)
            break;
        values.insert(ValueText(name.data(), type, data.data(), data_size));
    }
    std::vector<std::string> children;
    for (DWORD i = 0;; ++i) {
        DWORD name_size = static_cast<DWORD>(name.size());
        if (RegEnumKeyExA(key, i, name.data(), &name_size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        children.emplace_back(name.data(), name_size);
    }
    for (const std::string& child : children) {
        HKEY sub = nullptr;
        if (RegOpenKeyExA(key, child.c_str(), 0, KEY_READ, &sub) != ERROR_SUCCESS)
            continue;
        Walk(sub, path.empty() ? child : path + "\\" + child, out);
        RegCloseKey(sub);
    }
}

}  // namespace

RegistrySnapshot TakeSnapshot(HKEY root, const std::string& path) {
    RegistrySnapshot out;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.empty() ? nullptr : path.c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return out;
    }
    Walk(key, path, out);
    RegCloseKey(key);
    return out;
}

RegistryDiff Compare(const RegistrySnapshot& before, const RegistrySnapshot& after) {
    RegistryDiff diff;
    for (const auto& [path, values] : before) {
        auto it = after.find(path);
        if (it == after.end()) {
            diff.removed.insert(path);
        } else if (it->second != values) {
            diff.changed.insert(path);
        }
    }
    for (const auto& entry : after) {
        if (!before.count(entry.first))
            diff.added.insert(entry.first);
    }
    return diff;
}

std::string Describe(const RegistryDiff& diff) {
    std::string text;
    for (const auto& p : diff.added)
        text += "  added   " + p + "\n";
    for (const auto& p : diff.removed)
        text += "  removed " + p + "\n";
    for (const auto& p : diff.changed)
        text += "  changed " + p + "\n";
    return text;
}

}  // namespace fwtest
