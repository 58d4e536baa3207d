// Self-registration of a server's classes (DllRegisterServer and
// DllUnregisterServer over the class-factory table).
//
// Each class gets HKCR\CLSID\{clsid} with its name, and InprocServer32 with the
// module's path and ThreadingModel "Both". A filter entry is also registered
// with IFilterMapper2 in its category (merit, pins, media types), and its
// category instance HKCR\CLSID\{category}\Instance\{clsid} is made sure to
// carry FriendlyName and CLSID, which the system device enumerator lists.
// Unregistration removes those keys and values and nothing else; keys that
// are empty afterwards go too.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <span>
#include <string>

#include "framework/class_factory.h"

namespace dshow {

struct FilterSetup {
    DWORD merit;
    ULONG pin_count;
    const REGFILTERPINS2* pins;
    const CLSID* category;  // null: the legacy DirectShow filters category
};

// The registration pins of a filter with one input and one output, both of
// any type (a transform's).
extern const REGFILTERPINS2 kAnyTypeInOutPins[2];

// Registers (install) or unregisters every entry of the table. A failed
// registration is undone before its error is returned.
HRESULT RegisterServer(std::span<const FactoryEntry> table, bool install);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case.
std::string GuidText(REFGUID guid);

HRESULT RegisterComClass(const FactoryEntry& entry);
HRESULT UnregisterComClass(const FactoryEntry& entry);
HRESULT RegisterFilter(const FactoryEntry& entry);
HRESULT UnregisterFilter(const FactoryEntry& entry);

}  // namespace dshow
