// Class identifiers of the test server DLL (fwtestserver.dll).
#pragma once

#include <windows.h>

namespace fwtest {

// {5D2C0D1E-7A1B-4C8E-9F53-2B8E6A1D4C01}
inline constexpr GUID CLSID_TestObject = {
    0x5d2c0d1e, 0x7a1b, 0x4c8e, {0x9f, 0x53, 0x2b, 0x8e, 0x6a, 0x1d, 0x4c, 0x01}};
// {5D2C0D1E-7A1B-4C8E-9F53-2B8E6A1D4C02}
inline constexpr GUID CLSID_TestFilter = {
    0x5d2c0d1e, 0x7a1b, 0x4c8e, {0x9f, 0x53, 0x2b, 0x8e, 0x6a, 0x1d, 0x4c, 0x02}};
// A category of its own, so the test sees the category keys come and go.
// {5D2C0D1E-7A1B-4C8E-9F53-2B8E6A1D4C03}
inline constexpr GUID CATEGORY_Test = {
    0x5d2c0d1e, 0x7a1b, 0x4c8e, {0x9f, 0x53, 0x2b, 0x8e, 0x6a, 0x1d, 0x4c, 0x03}};

}  // namespace fwtest
