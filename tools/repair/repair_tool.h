// vistrel-repair: command line and the run over the files, portable so the
// native tests drive it with files of their own; main.cpp gives it the
// platform's files.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "avi/file_io.h"
#include "avi/stream_format.h"

namespace repair {

inline constexpr const char* kUsage =
    "Usage: vistrel-repair FILE... [--like OTHER.avi | --format WxH,BITS,FPS] [--dry-run]\n"
    "\n"
    "Makes AVI recordings whole again after a crash or a power cut: the header and\n"
    "the index are rebuilt from the frames in the file, a torn last frame is cut,\n"
    "and a file without a complete frame is deleted. Complete frames are never\n"
    "touched and the file only grows by the index it lacks.\n"
    "\n"
    "  --like OTHER.avi        take the stream formats from another recording of\n"
    "                          the same camera (for a file whose header is zeros)\n"
    "  --format WxH,BITS,FPS   the same for uncompressed RGB, e.g. 1280x720,32,30\n"
    "  --dry-run               only say what would be done\n"
    "\n"
    "Exit code: 0 every file repaired or already whole, 1 a file could not be\n"
    "repaired, 2 bad arguments.\n";

struct Arguments {
    enum class Status { kRun, kHelp, kBad } status = Status::kBad;
    std::vector<std::string> files;
    std::optional<std::string> like;
    std::optional<std::string> format;
    bool dry_run = false;
    std::string error;
};

Arguments ParseArguments(const std::vector<std::string>& args);

// How the run reaches files: open (for writing, or reading only) and delete.
struct Files {
    std::function<std::unique_ptr<avi::RandomAccessFile>(const std::string&, bool writable)> open;
    std::function<bool(const std::string&)> remove;
};

// Repairs every file, reporting one line each on `out`; returns the exit code.
int Run(const Arguments& arguments, const Files& files, std::FILE* out, std::FILE* err);

}  // namespace repair
