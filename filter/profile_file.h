// The user's profile file as the overlay's settings store.
#pragma once

#include "filter/overlay_settings.h"

namespace orvant {

class ProfileFile final : public ProfileStore {
  public:
    int GetInt(const char* section, const char* key, int defaultValue) override;
    void GetString(const char* section, const char* key, const char* defaultValue, char* buffer,
                   uint32_t size) override;
    void WriteString(const char* section, const char* key, const char* value) override;
};

}  // namespace orvant
