// The capture and archive paths as the recorder uses them: absolute, with
// backslashes, and short enough that every segment name under them is a
// path. Made so once, when a path is read from the registry or taken from the
// settings dialog; everything after that may rely on it. The rules are
// portable; AbsolutePath is the Windows glue.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vistrel {

// What a segment name adds to the capture path prefix, at its longest:
// ".<year>-MM-DD.hh.mm.ss_<serial>.avi" with a four-digit year and a
// three-digit serial.
inline constexpr size_t kSegmentNameSuffixChars = 28;
// Longest path the program handles (MAX_PATH without its terminating zero).
inline constexpr size_t kMaxPathChars = 259;
inline constexpr size_t kMaxCapturePathChars = kMaxPathChars - kSegmentNameSuffixChars;

enum class PathCheck {
    kOk,
    kNotAbsolute,   // no drive and root ("C:\"), nor "\\server\share\"
    kTooLong,       // the names made under it would not fit a path
    kNoFileName,    // a capture path must end in a file-name stem
    kBadCharacter,  // a character no Windows path may contain, or '/'
};

// `path` is what AbsolutePath made of the setting.
PathCheck CheckCapturePath(std::string_view path);
// An archive folder for recordings whose stem has `stemChars` characters.
PathCheck CheckArchivePath(std::string_view path, size_t stemChars);

// What a path check says, for a debugger line or a field's answer.
const char* PathCheckText(PathCheck check);

// The text as a full path with backslashes ("C:/Video/Cap" and "C:Cap" made
// absolute as the system resolves them); nothing when the system cannot.
std::optional<std::string> AbsolutePath(const std::string& text);

}  // namespace vistrel
