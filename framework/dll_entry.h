// The entry points of an in-process server: DllGetClassObject,
// DllCanUnloadNow, DllRegisterServer and DllUnregisterServer, over the table
// the server defines as kThisServer. A server links dshow_dll_entry, defines
// kThisServer and exports the four from its .def file:
//
//   const dshow::FactoryEntry kClasses[] = {...};
//   const dshow::ComServer dshow::kThisServer{kClasses};
#pragma once

#include <windows.h>

#include <span>

#include "framework/class_factory.h"

namespace dshow {

struct ComServer {
    std::span<const FactoryEntry> classes;
    // What the server registers besides its classes, or null. Called with
    // true once the classes are registered (a failure undoes the whole
    // registration), and with false before they are unregistered; removing
    // must be harmless when nothing was written.
    HRESULT (*extra_registration)(bool install) = nullptr;
};

// Defined once by each server.
extern const ComServer kThisServer;

}  // namespace dshow
