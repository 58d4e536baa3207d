#include "telemetry/shared_block.h"

#include <cstdio>

namespace telemetry {

namespace {

// Section queries are in ntdll; looked up at run time and used only to learn a
// mapping's exact size.
struct SectionBasicInformation {
    PVOID BaseAddress;
    ULONG Attributes;
    LARGE_INTEGER Size;
};
using NtQuerySectionFn = LONG(WINAPI*)(HANDLE, int, PVOID, SIZE_T, PSIZE_T);

NtQuerySectionFn QuerySectionFunction() {
    static NtQuerySectionFn fn = [] {
        HMODULE ntdll = GetModuleHandleA("ntdll.dll");
        return ntdll ? reinterpret_cast<NtQuerySectionFn>(
                           reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQuerySection")))
                     : nullptr;
    }();
    return fn;
}

void SayTooSmall(const std::string& name, size_t have, size_t need) {
    char line[256];
    std::snprintf(line, sizeof(line),
                  "%s: shared block of %zu usable bytes, its layout needs %zu; not used\n",
                  name.c_str(), have, need);
    OutputDebugStringA(line);
}

}  // namespace

size_t CommittedSize(const void* view, size_t size) {
    // A mapping created with SEC_RESERVE has pages that fault on first touch
    // until someone commits them: only the committed prefix can be used.
    const auto* base = static_cast<const uint8_t*>(view);
    size_t done = 0;
    while (view != nullptr && done < size) {
        MEMORY_BASIC_INFORMATION mbi{};
        if (VirtualQuery(base + done, &mbi, sizeof(mbi)) == 0 || mbi.State != MEM_COMMIT)
            break;
        size_t regionEnd =
            static_cast<size_t>(static_cast<const uint8_t*>(mbi.BaseAddress) - base) +
            mbi.RegionSize;
        if (regionEnd <= done)
            break;
        done = regionEnd;
    }
    return done < size ? done : size;
}

size_t MappedSize(HANDLE mapping, const void* view) {
    MEMORY_BASIC_INFORMATION mbi{};
    size_t region = view && VirtualQuery(view, &mbi, sizeof(mbi)) ? mbi.RegionSize : 0;
    if (view == nullptr)
        region = SIZE_MAX;
    if (NtQuerySectionFn query = QuerySectionFunction()) {
        SectionBasicInformation info{};
        if (query(mapping, 0, &info, sizeof(info), nullptr) >= 0 && info.Size.QuadPart > 0 &&
            static_cast<unsigned long long>(info.Size.QuadPart) <= region) {
            return static_cast<size_t>(info.Size.QuadPart);
        }
    }
    return region;
}

SharedBlock SharedBlock::Create(const std::string& name, size_t size) {
    SharedBlock block;
    // Default security of the creating process, never inheritable.
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, FALSE};
    vistrel::UniqueHandle mapping(CreateFileMappingA(INVALID_HANDLE_VALUE, &sa, PAGE_READWRITE, 0,
                                                     static_cast<DWORD>(size), name.c_str()));
    bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    if (!mapping)
        return block;
    void* view = MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, size);
    if (view == nullptr) {
        // An existing mapping too small for the view we need cannot be used.
        if (existed)
            SayTooSmall(name, MappedSize(mapping.get(), nullptr), size);
        return block;
    }
    block.view_.reset(view);
    if (size_t usable = CommittedSize(view, size); usable < size) {
        SayTooSmall(name, usable, size);
        block.view_.reset();
        return block;
    }
    block.mapping_ = std::move(mapping);
    block.size_ = size;
    block.origin_ = existed ? Origin::kExisted : Origin::kCreated;
    return block;
}

SharedBlock SharedBlock::Open(const std::string& name, size_t minSize) {
    SharedBlock block;
    vistrel::UniqueHandle mapping(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name.c_str()));
    if (!mapping)
        return block;
    vistrel::UniqueView view(MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!view)
        return block;
    size_t size = CommittedSize(view.get(), MappedSize(mapping.get(), view.get()));
    if (size < minSize) {
        SayTooSmall(name, size, minSize);
        return block;
    }
    block.view_ = std::move(view);
    block.mapping_ = std::move(mapping);
    block.size_ = size;
    block.origin_ = Origin::kOpened;
    return block;
}

bool SharedBlock::Exists(const std::string& name) {
    vistrel::UniqueHandle mapping(OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str()));
    return mapping.valid();
}

void SharedBlock::reset() {
    view_.reset();
    mapping_.reset();
    size_ = 0;
    origin_ = Origin::kNone;
}

std::string OsdBlockName(int n) {
    return "GPSOSDText" + std::to_string(n);
}

}  // namespace telemetry
