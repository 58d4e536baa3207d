// An in-memory profile store for tests and fuzzing: named sections of keys in
// first-written order, integers read with the profile's own syntax.
#pragma once

#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "filter/overlay_settings.h"

namespace orvant::testing {

class MemoryProfile : public ProfileStore {
  public:
    using Section = std::vector<std::pair<std::string, std::string>>;

    int GetInt(const char* section, const char* key, int defaultValue) override {
        const std::string* value = Find(section, key);
        return value ? ParseProfileInteger(value->c_str(), defaultValue) : defaultValue;
    }
    void GetString(const char* section, const char* key, const char* defaultValue, char* buffer,
                   uint32_t size) override {
        const std::string* value = Find(section, key);
        const std::string text = value ? *value : defaultValue;
        if (size == 0)
            return;
        const size_t n = std::min<size_t>(text.size(), size - 1);
        std::memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
    }
    void WriteString(const char* section, const char* key, const char* value) override {
        Section& s = sections[section];
        for (auto& [k, v] : s) {
            if (k == key) {
                v = value;
                return;
            }
        }
        s.emplace_back(key, value);
    }
    void Set(const std::string& section, const std::string& key, const std::string& value) {
        WriteString(section.c_str(), key.c_str(), value.c_str());
    }
    const std::string* Find(const std::string& section, const std::string& key) const {
        auto it = sections.find(section);
        if (it == sections.end())
            return nullptr;
        for (const auto& [k, v] : it->second) {
            if (k == key)
                return &v;
        }
        return nullptr;
    }

    std::map<std::string, Section> sections;
};

}  // namespace orvant::testing
