#include "app/core/instances.h"

#include <climits>
#include <cstdio>

#include "common/command_line.h"
#include "common/command_words.h"
#include "common/win_handle.h"

namespace vistrel {

namespace {

HINSTANCE gProgramInstance = nullptr;
int32_t gInstanceNumber = 0;
uint8_t gPreviewOverride = kPreviewOverrideNone;
// Held for the whole run: two copies started at the same moment cannot both
// settle on one number while neither has its title yet.
UniqueHandle gInstanceClaim;

bool ClaimInstance(int32_t number) {
    char name[64];
    std::snprintf(name, sizeof(name), "Local\\Halvorix.Vistrel.Instance%d",
                  static_cast<int>(number));
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    if (mutex == nullptr)
        return true;  // no claim possible; the title check still holds
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return false;
    }
    gInstanceClaim.reset(mutex);
    return true;
}

}  // namespace

HINSTANCE ProgramInstance() {
    return gProgramInstance;
}

void SetProgramInstance(HINSTANCE instance) {
    gProgramInstance = instance;
}

int32_t InstanceNumber() {
    return gInstanceNumber;
}

void SetInstanceNumber(int32_t number) {
    gInstanceNumber = number;
}

uint8_t PreviewOverride() {
    return gPreviewOverride;
}

void SetPreviewOverride(uint8_t value) {
    gPreviewOverride = value;
}

bool InstanceWindowExists(int32_t number) {
    return FindWindowA(nullptr, WindowTitleFor(number).c_str()) != nullptr;
}

void ChooseInstanceNumber(HWND mainWindow) {
    int32_t number = gInstanceNumber > 0 ? gInstanceNumber : 1;
    while (InstanceWindowExists(number) || !ClaimInstance(number)) {
        number = number == INT32_MAX ? 1 : number + 1;
    }
    gInstanceNumber = number;
    SetWindowTextA(mainWindow, WindowTitleFor(number).c_str());
}

void OpenMessageFilter(HWND mainWindow) {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(version);
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)
#endif
    if (!GetVersionExA(&version) || version.dwMajorVersion < 6)
        return;
    HMODULE user32 = LoadLibraryA("User32.dll");
    if (user32 == nullptr)
        return;
    using FilterFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    auto filter = reinterpret_cast<FilterFn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilterEx")));
    if (filter != nullptr) {
        constexpr DWORD kAllow = 1;  // MSGFLT_ALLOW
        filter(mainWindow, WM_USER, kAllow, nullptr);
        // The command channel itself arrives as WM_COPYDATA.
        filter(mainWindow, WM_COPYDATA, kAllow, nullptr);
    }
    FreeLibrary(user32);
}

}  // namespace vistrel
