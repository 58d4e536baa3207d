// The in-process server's process-wide counts: live objects and server locks,
// which decide DllCanUnloadNow, and the module handle used for registration.
#pragma once

#include <windows.h>

namespace dshow::module {

void ObjectCreated();
void ObjectDestroyed();
// IClassFactory::LockServer.
void Lock(bool lock);

long ObjectCount();
long LockCount();
// S_OK when no object lives and no lock is held, else S_FALSE.
HRESULT CanUnloadNow();

// The module (DLL or EXE) this code is linked into.
HMODULE Handle();

}  // namespace dshow::module
