// Starting another Windows program of the project from a test, in the same
// Wine prefix, and waiting for it with a bound.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <set>
#include <string>

#include "common/win_handle.h"

namespace testsupport {

// Folder of the running test binary (build/windows/bin), with a trailing '\'.
std::string BinDir();

class ChildProcess {
  public:
    ChildProcess() = default;
    ChildProcess(ChildProcess&&) = default;
    ChildProcess& operator=(ChildProcess&&) = default;
    ~ChildProcess();

    // Starts `program` (a file name in BinDir(), or a full path, or a system
    // program such as "regsvr32.exe") with `args`. Standard output and error
    // are captured to a file and can be read with Output().
    static ChildProcess Start(const std::string& program, const std::string& args);

    bool started() const { return process_.valid(); }
    DWORD pid() const { return pid_; }
    const std::string& error() const { return error_; }
    // Exit code, or nothing when the process still runs after `ms`.
    std::optional<DWORD> Wait(DWORD ms);
    bool Running();
    void Terminate();
    std::string Output() const;

  private:
    vistrel::UniqueHandle process_;
    DWORD pid_ = 0;
    std::string output_path_;
    std::string error_;
};

// Runs a program to completion (bounded) and returns its exit code, or -1 when
// it could not start or had to be ended.
int RunToExit(const std::string& program, const std::string& args, DWORD ms,
              std::string* output = nullptr);

// regsvr32 with `options` ("/s", "/u /s") on `dll` beside the test; its exit code.
int Regsvr32(const std::string& dll, const std::string& options);

// Polls `condition` every 20 ms for at most `ms`; its last answer.
bool WaitUntil(const std::function<bool()>& condition, DWORD ms);

// The system time as a FILETIME count of 100 ns.
uint64_t FileTimeNow();

// Creates `path` holding `content`, `size` bytes long (sparse where the disk
// allows), last written at `lastWrite`; false when it cannot be created.
bool MakeFile(const std::string& path, uint64_t lastWrite, uint64_t size = 16,
              const std::string& content = "x");

// The names of the files `pattern` ("C:\dir\*.avi") matches, without "." and "..".
std::set<std::string> FileNames(const std::string& pattern);

// A unique folder under the temporary folder, removed with its content.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }  // with a trailing '\'

  private:
    std::string path_;
};

}  // namespace testsupport
