#include "app/core/path_rules.h"

namespace vistrel {

namespace {

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// "X:\" or "\\server\share\" with something in both names.
bool IsAbsolute(std::string_view p) {
    if (p.size() >= 3 && IsLetter(p[0]) && p[1] == ':' && p[2] == '\\')
        return true;
    if (p.size() < 5 || p[0] != '\\' || p[1] != '\\' || p[2] == '\\')
        return false;
    size_t share = p.find('\\', 2);
    return share != std::string_view::npos && share + 1 < p.size() && p[share + 1] != '\\';
}

PathCheck CheckCharacters(std::string_view p) {
    for (size_t i = 0; i < p.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(p[i]);
        if (c < 32 || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*' ||
            c == '/' || (c == ':' && i != 1))
            return PathCheck::kBadCharacter;
    }
    return PathCheck::kOk;
}

}  // namespace

PathCheck CheckCapturePath(std::string_view path) {
    if (!IsAbsolute(path))
        return PathCheck::kNotAbsolute;
    if (PathCheck c = CheckCharacters(path); c != PathCheck::kOk)
        return c;
    if (path.back() == '\\')
        return PathCheck::kNoFileName;
    if (path.size() > kMaxCapturePathChars)
        return PathCheck::kTooLong;
    return PathCheck::kOk;
}

PathCheck CheckArchivePath(std::string_view path, size_t stemChars) {
    if (!IsAbsolute(path))
        return PathCheck::kNotAbsolute;
    if (PathCheck c = CheckCharacters(path); c != PathCheck::kOk)
        return c;
    // The folder, a backslash, the longest segment name (and the serial an
    // archived name may get, which fits in the same three digits).
    if (path.size() + 1 + stemChars + kSegmentNameSuffixChars > kMaxPathChars)
        return PathCheck::kTooLong;
    return PathCheck::kOk;
}

const char* PathCheckText(PathCheck check) {
    switch (check) {
        case PathCheck::kOk:
            return "fine";
        case PathCheck::kNotAbsolute:
            return "not a full path with a drive or a share";
        case PathCheck::kTooLong:
            return "too long for the names of the recordings under it";
        case PathCheck::kNoFileName:
            return "no file name after the folder";
        case PathCheck::kBadCharacter:
            return "a character no path may hold";
    }
    return "";
}

}  // namespace vistrel
