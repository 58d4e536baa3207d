#include "framework/dll_entry.h"

#include "framework/registration.h"

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    return dshow::GetClassObject(dshow::kThisServer.classes, clsid, iid, out);
}

STDAPI DllCanUnloadNow() {
    return dshow::CanUnloadNow();
}

STDAPI DllUnregisterServer() {
    const dshow::ComServer& server = dshow::kThisServer;
    if (server.extra_registration)
        server.extra_registration(false);
    return dshow::RegisterServer(server.classes, false);
}

STDAPI DllRegisterServer() {
    const dshow::ComServer& server = dshow::kThisServer;
    HRESULT hr = dshow::RegisterServer(server.classes, true);
    if (FAILED(hr) || !server.extra_registration)
        return hr;
    hr = server.extra_registration(true);
    if (FAILED(hr))
        DllUnregisterServer();
    return hr;
}
