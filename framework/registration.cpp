#include "framework/registration.h"

#include <uuids.h>
#include <wrl/client.h>

#include <cstdio>
#include <vector>

#include "framework/module.h"
#include "framework/registry_key.h"

using Microsoft::WRL::ComPtr;

namespace dshow {
namespace {

const REGPINTYPES kAnyType = {&GUID_NULL, &GUID_NULL};

std::string Narrow(const wchar_t* text) {
    int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::vector<char> buffer(static_cast<size_t>(size));
    WideCharToMultiByte(CP_ACP, 0, text, -1, buffer.data(), size, nullptr, nullptr);
    return std::string(buffer.data());
}

std::string ClassKey(REFCLSID clsid) {
    return "CLSID\\" + GuidText(clsid);
}

const CLSID& CategoryOf(const FilterSetup& setup) {
    return setup.category ? *setup.category : CLSID_LegacyAmFilterCategory;
}

std::string InstanceKey(const FactoryEntry& entry) {
    return ClassKey(CategoryOf(*entry.filter)) + "\\Instance\\" + GuidText(*entry.clsid);
}

// The mapper needs COM on this thread; regsvr32 may or may not have set it up.
class ComScope {
  public:
    ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_))
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

  private:
    HRESULT hr_;
};

HRESULT FromWin32(LONG error) {
    return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error);
}

bool IsNotFound(HRESULT hr) {
    return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ||
           hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
}

void DeleteValue(const std::string& path, const char* name) {
    RegistryKey key = RegistryKey::Open(HKEY_CLASSES_ROOT, path, KEY_SET_VALUE);
    if (key)
        RegDeleteValueA(key.get(), name);
}

// Removes the empty keys left above a category instance: Instance, then the
// category key itself.
void PruneCategory(const FactoryEntry& entry) {
    std::string category = ClassKey(CategoryOf(*entry.filter));
    if (DeleteKeyIfEmpty(HKEY_CLASSES_ROOT, category + "\\Instance")) {
        DeleteKeyIfEmpty(HKEY_CLASSES_ROOT, category);
    }
}

}  // namespace

const REGFILTERPINS2 kAnyTypeInOutPins[2] = {
    {0, 1, 1, &kAnyType, 0, nullptr, nullptr},
    {REG_PINFLAG_B_OUTPUT, 1, 1, &kAnyType, 0, nullptr, nullptr},
};

std::string GuidText(REFGUID g) {
    char text[40];
    std::snprintf(text, sizeof(text), "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                  g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

HRESULT RegisterComClass(const FactoryEntry& entry) {
    // UTF-16: an install folder named with letters outside the code page
    // must still register its real path.
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(module::Handle(), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return E_FAIL;

    RegistryKey key = RegistryKey::Create(HKEY_CLASSES_ROOT, ClassKey(*entry.clsid));
    if (!key)
        return E_ACCESSDENIED;
    HRESULT hr = FromWin32(key.SetString("", Narrow(entry.name)));
    if (FAILED(hr))
        return hr;
    RegistryKey server = RegistryKey::Create(key.get(), "InprocServer32");
    if (!server)
        return E_ACCESSDENIED;
    hr = FromWin32(server.SetWideString(L"", std::wstring(path, length)));
    if (SUCCEEDED(hr))
        hr = FromWin32(server.SetString("ThreadingModel", "Both"));
    return hr;
}

HRESULT UnregisterComClass(const FactoryEntry& entry) {
    std::string key = ClassKey(*entry.clsid);
    std::string server = key + "\\InprocServer32";
    DeleteValue(server, "");
    DeleteValue(server, "ThreadingModel");
    DeleteKeyIfEmpty(HKEY_CLASSES_ROOT, server);
    DeleteValue(key, "");
    DeleteKeyIfEmpty(HKEY_CLASSES_ROOT, key);
    return S_OK;
}

HRESULT RegisterFilter(const FactoryEntry& entry) {
    const FilterSetup& setup = *entry.filter;
    ComScope com;
    ComPtr<IFilterMapper2> mapper;
    HRESULT hr =
        CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&mapper));
    if (FAILED(hr))
        return hr;

    REGFILTER2 filter{};
    filter.dwVersion = 2;
    filter.dwMerit = setup.merit;
    filter.cPins2 = setup.pin_count;
    filter.rgPins2 = setup.pins;
    hr = mapper->RegisterFilter(*entry.clsid, entry.name, nullptr, &CategoryOf(setup), nullptr,
                                &filter);
    if (FAILED(hr))
        return hr;

    // The device enumerator lists what the category instance names; write the
    // two values it reads if the mapper put them elsewhere.
    RegistryKey instance = RegistryKey::Create(HKEY_CLASSES_ROOT, InstanceKey(entry));
    if (!instance)
        return E_ACCESSDENIED;
    std::string value;
    if (!instance.GetString("FriendlyName", &value)) {
        hr = FromWin32(instance.SetString("FriendlyName", Narrow(entry.name)));
    }
    if (SUCCEEDED(hr) && !instance.GetString("CLSID", &value)) {
        hr = FromWin32(instance.SetString("CLSID", GuidText(*entry.clsid)));
    }
    return hr;
}

HRESULT UnregisterFilter(const FactoryEntry& entry) {
    ComScope com;
    ComPtr<IFilterMapper2> mapper;
    HRESULT hr =
        CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&mapper));
    if (SUCCEEDED(hr)) {
        hr = mapper->UnregisterFilter(&CategoryOf(*entry.filter), nullptr, *entry.clsid);
        if (IsNotFound(hr))
            hr = S_OK;
    }
    // Whatever of the instance the mapper left behind (the values written
    // above when it did not) belongs to this class.
    std::string instance = InstanceKey(entry);
    RegistryKey key = RegistryKey::Open(HKEY_CLASSES_ROOT, instance);
    std::string clsid;
    if (key && key.GetString("CLSID", &clsid) && clsid == GuidText(*entry.clsid)) {
        key.reset();
        DeleteValue(instance, "FriendlyName");
        DeleteValue(instance, "CLSID");
        DeleteKeyIfEmpty(HKEY_CLASSES_ROOT, instance);
    }
    PruneCategory(entry);
    return hr;
}

HRESULT RegisterServer(std::span<const FactoryEntry> table, bool install) {
    if (!install) {
        HRESULT first = S_OK;
        for (size_t i = table.size(); i-- > 0;) {
            HRESULT hr = table[i].filter ? UnregisterFilter(table[i]) : S_OK;
            HRESULT hr2 = UnregisterComClass(table[i]);
            if (SUCCEEDED(first))
                first = FAILED(hr) ? hr : hr2;
        }
        return first;
    }
    for (const FactoryEntry& entry : table) {
        HRESULT hr = RegisterComClass(entry);
        if (SUCCEEDED(hr) && entry.filter)
            hr = RegisterFilter(entry);
        if (FAILED(hr)) {
            RegisterServer(table, false);
            return hr;
        }
    }
    return S_OK;
}

}  // namespace dshow
