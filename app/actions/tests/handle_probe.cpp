// Prints "handles H gdi G" of the process that owns the window titled
// argv[1]: what a soak run watches for leaks. The handle count comes from the
// system's handle list (Wine answers GetProcessHandleCount with 0); GDI
// objects from GetGuiResources, which Wine does not count ("gdi -1" then).
#include <windows.h>
#include <winternl.h>

#include <cstdio>
#include <vector>

namespace {

struct HandleEntry {  // SYSTEM_HANDLE_TABLE_ENTRY_INFO
    USHORT process;
    USHORT creatorBackTraceIndex;
    UCHAR objectType;
    UCHAR attributes;
    USHORT handle;
    PVOID object;
    ACCESS_MASK access;
};

struct HandleList {
    ULONG count;
    HandleEntry entries[1];
};

long CountHandles(DWORD pid) {
    constexpr auto kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
    std::vector<unsigned char> buffer(1 << 20);
    for (int attempt = 0; attempt < 8; ++attempt) {
        ULONG needed = 0;
        NTSTATUS status = NtQuerySystemInformation(kSystemHandleInformation, buffer.data(),
                                                   static_cast<ULONG>(buffer.size()), &needed);
        if (status == static_cast<NTSTATUS>(0xC0000004L)) {  // too small
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status < 0)
            break;
        const auto* list = reinterpret_cast<const HandleList*>(buffer.data());
        long n = 0;
        for (ULONG i = 0; i < list->count; ++i)
            n += list->entries[i].process == static_cast<USHORT>(pid);
        if (n > 0)
            return n;
        break;
    }
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
    DWORD count = 0;
    if (process) {
        GetProcessHandleCount(process, &count);
        CloseHandle(process);
    }
    return count ? static_cast<long>(count) : -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: handle-probe <window title>\n");
        return 2;
    }
    HWND window = FindWindowA(nullptr, argv[1]);
    DWORD pid = 0;
    if (!window || !GetWindowThreadProcessId(window, &pid)) {
        std::fprintf(stderr, "no window \"%s\"\n", argv[1]);
        return 1;
    }
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
    long gdi = process ? static_cast<long>(GetGuiResources(process, GR_GDIOBJECTS)) : 0;
    if (process)
        CloseHandle(process);
    std::printf("handles %ld gdi %ld\n", CountHandles(pid), gdi > 0 ? gdi : -1);
    return 0;
}
