#include "framework/module.h"

#include <atomic>

namespace dshow::module {
namespace {

std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};
// Any address inside this module identifies it.
const char g_anchor = 0;

}  // namespace

void ObjectCreated() {
    ++g_objects;
}
void ObjectDestroyed() {
    --g_objects;
}
void Lock(bool lock) {
    if (lock) {
        ++g_locks;
    } else {
        --g_locks;
    }
}

long ObjectCount() {
    return g_objects.load();
}
long LockCount() {
    return g_locks.load();
}

HRESULT CanUnloadNow() {
    return g_objects.load() == 0 && g_locks.load() == 0 ? S_OK : S_FALSE;
}

HMODULE Handle() {
    // Found from an address inside this module, so no DllMain has to record it.
    HMODULE handle = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        &g_anchor, &handle);
    return handle;
}

}  // namespace dshow::module
