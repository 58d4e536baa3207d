// Each user's compressor settings in the registry (HKEY_CURRENT_USER, the
// key named in mjpeg_ids.h): read when a compressor is made, written when
// the property page applies a change.
#pragma once

#include <windows.h>

#include "codec/compressor_settings.h"

namespace mjpeg {

// The stored settings; a value that is missing, of another type or out of
// range keeps its default.
Settings LoadUserSettings();
// S_OK, or the failure of creating the key or writing a value.
HRESULT SaveUserSettings(const Settings& settings);

}  // namespace mjpeg
