#include "app/recording/segment_rules.h"

#include <cstdio>
#include <cstring>

namespace vistrel {

int64_t LocalSecondsFromFileTime(uint64_t localFileTime) {
    return static_cast<int64_t>(localFileTime / 10000000u);
}

int64_t SegmentEndFor(int64_t start, uint32_t capSeconds) {
    return capSeconds == 0 ? 0 : start + capSeconds;
}

bool SegmentTimeIsUp(int64_t now, int64_t end) {
    return end != 0 && now > end;
}

uint32_t SegmentAge(int64_t now, int64_t start) {
    if (start == 0)
        return UINT32_MAX;
    if (now <= start)
        return 0;
    int64_t age = now - start;
    return age > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(age);
}

std::string SegmentFileName(std::string_view prefix, const LocalDateTime& t, int serial) {
    char serialText[16] = "";
    if (serial > 1)
        std::snprintf(serialText, sizeof(serialText), "_%d", serial);
    char stamp[112];
    std::snprintf(stamp, sizeof(stamp), ".%d-%02d-%02d.%02d.%02d.%02d%s.avi", t.year, t.month,
                  t.day, t.hour, t.minute, t.second, serialText);
    std::string name;
    name.reserve(prefix.size() + std::strlen(stamp));
    name.append(prefix);
    name.append(stamp);
    return name;
}

std::optional<std::string> ChooseSegmentFileName(
    std::string_view prefix, const LocalDateTime& t,
    const std::function<bool(const std::string&)>& taken) {
    constexpr int kMaxSerial = 999;
    for (int serial = 1; serial <= kMaxSerial; ++serial) {
        std::string name = SegmentFileName(prefix, t, serial);
        if (name.size() > kMaxPathChars)
            return std::nullopt;
        if (!taken(name))
            return name;
    }
    return std::nullopt;
}

std::string SerialFileName(std::string_view path, int serial) {
    size_t slash = path.find_last_of('\\');
    size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos || dot <= nameStart)
        dot = path.size();
    std::string out(path.substr(0, dot));
    out += '_';
    out += std::to_string(serial);
    out += path.substr(dot);
    return out;
}

std::string RemoveFileSpec(std::string_view path) {
    size_t slash = path.find_last_of('\\');
    if (slash == std::string_view::npos) {
        // "C:name" keeps its drive.
        if (path.size() >= 2 && path[1] == ':')
            return std::string(path.substr(0, 2));
        return {};
    }
    bool driveRoot = slash == 2 && path[1] == ':';
    bool uncStart = slash == 1 && path[0] == '\\';
    if (slash == 0 || driveRoot || uncStart)
        return std::string(path.substr(0, slash + 1));
    return std::string(path.substr(0, slash));
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    while (!name.empty() && name.front() == '\\')
        name.remove_prefix(1);
    std::string out(folder);
    if (!out.empty() && out.back() != '\\')
        out += '\\';
    out += name;
    return out;
}

std::vector<std::string> FolderPrefixes(std::string_view path) {
    std::vector<std::string> out;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '\\' && i > 2)
            out.emplace_back(path.substr(0, i));
    }
    return out;
}

namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    }
    return true;
}

// Takes `count` digits (any number of them, at least one, for 0) off the
// front of `text`.
bool TakeDigits(std::string_view& text, size_t count) {
    size_t n = 0;
    while (n < text.size() && text[n] >= '0' && text[n] <= '9' && (count == 0 || n < count))
        ++n;
    if (n == 0 || (count != 0 && n != count))
        return false;
    text.remove_prefix(n);
    return true;
}

bool Take(std::string_view& text, char c) {
    if (text.empty() || text.front() != c)
        return false;
    text.remove_prefix(1);
    return true;
}

}  // namespace

bool IsOwnSegmentName(std::string_view name, std::string_view stem, std::string_view extension) {
    if (stem.empty() || name.size() < stem.size() + extension.size() ||
        !SameText(name.substr(0, stem.size()), stem) ||
        !SameText(name.substr(name.size() - extension.size()), extension))
        return false;
    std::string_view t = name.substr(stem.size(), name.size() - stem.size() - extension.size());
    // ".<year>-MM-DD.hh.mm.ss[_n]"
    bool stamp = Take(t, '.') && TakeDigits(t, 0) && Take(t, '-') && TakeDigits(t, 2) &&
                 Take(t, '-') && TakeDigits(t, 2) && Take(t, '.') && TakeDigits(t, 2) &&
                 Take(t, '.') && TakeDigits(t, 2) && Take(t, '.') && TakeDigits(t, 2);
    if (!stamp)
        return false;
    return t.empty() || (Take(t, '_') && TakeDigits(t, 0) && t.empty());
}

}  // namespace vistrel
