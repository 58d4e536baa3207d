// vistrel-repair: makes AVI recordings whole again (see repair_tool.h).
#include <cstdio>
#include <string>
#include <vector>

#include "tools/repair/repair_tool.h"

#ifdef _WIN32
#include <windows.h>

#include "avi/win32_file.h"

namespace {

// Paths are texts of the system code page, as the recorder names its files.
std::wstring Wide(const std::string& text) {
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), n);
    wide.resize(wide.size() - 1);
    return wide;
}

repair::Files PlatformFiles() {
    return {[](const std::string& path, bool writable) -> std::unique_ptr<avi::RandomAccessFile> {
                HRESULT hr = S_OK;
                return avi::Win32File::Open(Wide(path), writable, &hr);
            },
            [](const std::string& path) { return DeleteFileA(path.c_str()) != FALSE; }};
}

}  // namespace
#else
#include <unistd.h>

#include "avi/posix_file.h"

namespace {

repair::Files PlatformFiles() {
    return {[](const std::string& path, bool writable) -> std::unique_ptr<avi::RandomAccessFile> {
                return avi::PosixFile::Open(path, writable);
            },
            [](const std::string& path) { return ::unlink(path.c_str()) == 0; }};
}

}  // namespace
#endif

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    repair::Arguments arguments = repair::ParseArguments(args);
    if (arguments.status == repair::Arguments::Status::kHelp) {
        std::fputs(repair::kUsage, stdout);
        return 0;
    }
    if (arguments.status == repair::Arguments::Status::kBad) {
        std::fprintf(stderr, "vistrel-repair: %s\n\n%s", arguments.error.c_str(), repair::kUsage);
        return 2;
    }
    return repair::Run(arguments, PlatformFiles(), stdout, stderr);
}
