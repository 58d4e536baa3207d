#include "tests/support/child_process.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace testsupport {

std::string BinDir() {
    char path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    size_t slash = s.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : s.substr(0, slash + 1);
}

namespace {

std::string UniqueTempName(const char* stem) {
    static LONG counter = 0;
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    char name[MAX_PATH + 64];
    std::snprintf(name, sizeof(name), "%s%s-%lu-%ld-%lu", dir, stem, GetCurrentProcessId(),
                  InterlockedIncrement(&counter), GetTickCount());
    return name;
}

}  // namespace

ChildProcess::~ChildProcess() {
    Terminate();
    if (!output_path_.empty())
        DeleteFileA(output_path_.c_str());
}

ChildProcess ChildProcess::Start(const std::string& program, const std::string& args) {
    ChildProcess child;
    std::string exe = program;
    if (program.find_first_of("\\/:") == std::string::npos) {  // a bare name: beside the test first
        std::string local = BinDir() + program;
        if (GetFileAttributesA(local.c_str()) != INVALID_FILE_ATTRIBUTES)
            exe = local;
    }
    child.output_path_ = UniqueTempName("child") + ".log";
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
    vistrel::UniqueHandle out(CreateFileA(child.output_path_.c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          &sa, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out.get();
    si.hStdError = out.get();
    std::string cmd = "\"" + exe + "\"";
    if (!args.empty())
        cmd += " " + args;
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back('\0');
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                        &pi)) {
        child.error_ = "CreateProcess failed for " + cmd + ": " + std::to_string(GetLastError());
        return child;
    }
    CloseHandle(pi.hThread);
    child.process_.reset(pi.hProcess);
    child.pid_ = pi.dwProcessId;
    return child;
}

std::optional<DWORD> ChildProcess::Wait(DWORD ms) {
    if (!process_.valid())
        return std::nullopt;
    if (WaitForSingleObject(process_.get(), ms) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return code;
}

bool ChildProcess::Running() {
    return process_.valid() && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

void ChildProcess::Terminate() {
    if (Running()) {
        TerminateProcess(process_.get(), 255);
        WaitForSingleObject(process_.get(), 5000);
    }
}

std::string ChildProcess::Output() const {
    std::ifstream in(output_path_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

int RunToExit(const std::string& program, const std::string& args, DWORD ms, std::string* output) {
    ChildProcess child = ChildProcess::Start(program, args);
    if (!child.started()) {
        if (output)
            *output = child.error();
        return -1;
    }
    std::optional<DWORD> code = child.Wait(ms);
    if (!code)
        child.Terminate();
    if (output)
        *output = child.Output();
    return code ? static_cast<int>(*code) : -1;
}

int Regsvr32(const std::string& dll, const std::string& options) {
    return RunToExit("regsvr32.exe", options + " \"" + BinDir() + dll + "\"", 60000);
}

bool WaitUntil(const std::function<bool()>& condition, DWORD ms) {
    ULONGLONG end = GetTickCount64() + ms;
    while (GetTickCount64() < end) {
        if (condition())
            return true;
        Sleep(20);
    }
    return condition();
}

uint64_t FileTimeNow() {
    FILETIME ft{};
    GetSystemTimeAsFileTime(&ft);
    return (uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime;
}

bool MakeFile(const std::string& path, uint64_t lastWrite, uint64_t size,
              const std::string& content) {
    vistrel::UniqueHandle f(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!f)
        return false;
    DWORD written = 0;
    WriteFile(f.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    if (size > written) {
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(size);
        SetFilePointerEx(f.get(), end, nullptr, FILE_BEGIN);
        SetEndOfFile(f.get());
    }
    FILETIME ft{static_cast<DWORD>(lastWrite), static_cast<DWORD>(lastWrite >> 32)};
    return SetFileTime(f.get(), nullptr, nullptr, &ft) != FALSE;
}

std::set<std::string> FileNames(const std::string& pattern) {
    std::set<std::string> names;
    WIN32_FIND_DATAA found{};
    HANDLE h = FindFirstFileA(pattern.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string n = found.cFileName;
        if (n != "." && n != "..")
            names.insert(n);
    } while (FindNextFileA(h, &found));
    FindClose(h);
    return names;
}

TempDir::TempDir() {
    path_ = UniqueTempName("vt") + "\\";
    CreateDirectoryA(path_.c_str(), nullptr);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace testsupport
