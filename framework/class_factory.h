// The class-factory table of an in-process server and the two operations
// that serve it: GetClassObject and CanUnloadNow, behind the server's
// DllGetClassObject and DllCanUnloadNow (framework/dll_entry.h).
//
//   const dshow::FactoryEntry kClasses[] = {
//       {L"My Filter", &CLSID_MyFilter, dshow::CreateInstance<MyFilter>, &kMyFilterSetup},
//   };
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <new>
#include <span>

#include "framework/com_object.h"

namespace dshow {

struct FilterSetup;

// Makes a new object with no reference taken, or returns null and sets
// *result. `outer` is the aggregating object or null.
using CreateFunction = ComObject* (*)(IUnknown* outer, HRESULT* result);

struct FactoryEntry {
    const wchar_t* name;  // the class's name in the registry
    const CLSID* clsid;
    CreateFunction create;
    const FilterSetup* filter;  // DirectShow registration data, or null for a plain class
};

// The create function of a class whose constructor takes the outer unknown.
template <class T>
ComObject* CreateInstance(IUnknown* outer, HRESULT* result) {
    T* object = new (std::nothrow) T(outer);
    if (!object)
        *result = E_OUTOFMEMORY;
    return object;
}

// DllGetClassObject over a table: a class factory for `clsid` answering `iid`,
// or CLASS_E_CLASSNOTAVAILABLE.
HRESULT GetClassObject(std::span<const FactoryEntry> table, REFCLSID clsid, REFIID iid, void** out);

// DllCanUnloadNow: S_OK when no object (class factories included) lives and
// no server lock is held.
HRESULT CanUnloadNow();

}  // namespace dshow
