#include "app/ui/settings_values.h"

#include "app/ui/resource.h"

#include <cstdio>
#include <cstdlib>
#include <limits>

namespace vistrel {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// Digits only (possibly none); false past the 32-bit range.
bool DigitsValue(std::string_view digits, uint64_t& value) {
    value = 0;
    for (char c : digits) {
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > std::numeric_limits<uint32_t>::max())
            return false;
    }
    return true;
}

}  // namespace

FieldProblem ReadWholeNumber(std::string_view text, uint32_t& value) {
    text = Trim(text);
    for (char c : text) {
        if (!IsDigit(c))
            return FieldProblem::kNotANumber;
    }
    uint64_t parsed = 0;
    if (!DigitsValue(text, parsed))
        return FieldProblem::kTooLarge;
    value = static_cast<uint32_t>(parsed);
    return FieldProblem::kOk;
}

uint32_t ParseTimeLimit(std::string_view text) {
    // Each part saturates so that a run of digits never overflows.
    auto number = [](std::string_view digits) {
        uint64_t value = 0;
        for (char c : digits)
            value = value < 10000000000ull ? value * 10 + static_cast<uint64_t>(c - '0') : value;
        return value;
    };
    size_t end = text.size();
    size_t start = end;
    while (start > 0 && IsDigit(text[start - 1]))
        --start;
    uint64_t seconds = number(text.substr(start, end - start));
    uint64_t minutes = 0;
    uint64_t hours = 0;
    if (start > 0) {
        end = start - 1;  // skip exactly one separator
        start = end;
        while (start > 0 && IsDigit(text[start - 1]))
            --start;
        minutes = number(text.substr(start, end - start));
        if (start > 1) {  // a character precedes the separator before the minutes
            size_t digits = 0;
            while (digits < text.size() && IsDigit(text[digits]))
                ++digits;
            hours = number(text.substr(0, digits));
        }
    }
    uint64_t total = hours * 3600 + minutes * 60 + seconds;
    // The setting is 32 bits: a longer time is the longest limit, not a wrap.
    return total > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                        : static_cast<uint32_t>(total);
}

FieldProblem ReadTimeLimit(std::string_view text, uint32_t& seconds) {
    text = Trim(text);
    size_t parts = 1;  // colons plus one
    for (char c : text) {
        if (c == ':')
            ++parts;
        else if (!IsDigit(c))
            return FieldProblem::kNotANumber;
    }
    if (parts > 3)
        return FieldProblem::kTooManyParts;
    // From the end: seconds, minutes, hours; each must fit, then the sum.
    uint64_t total = 0;
    uint64_t scale = 1;
    while (true) {
        size_t colon = text.rfind(':');
        std::string_view part = colon == std::string_view::npos ? text : text.substr(colon + 1);
        uint64_t value = 0;
        if (!DigitsValue(part, value))
            return FieldProblem::kTooLarge;
        total += value * scale;
        scale *= 60;
        if (colon == std::string_view::npos)
            break;
        text = text.substr(0, colon);
    }
    if (total > std::numeric_limits<uint32_t>::max())
        return FieldProblem::kTooLarge;
    seconds = static_cast<uint32_t>(total);
    return FieldProblem::kOk;
}

std::string FormatTimeLimit(uint32_t seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%u:%02u:%02u", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return text;
}

double FrameRateValue(const char* text) {
    return text ? std::strtod(text, nullptr) : 0.0;
}

int FrameRateIndex(const char (*list)[8], size_t count, double rate) {
    for (size_t i = 0; i < count && list[i][0] != '\0'; ++i) {
        if (FrameRateValue(list[i]) == rate)
            return static_cast<int>(i);
    }
    return -1;
}

FieldProblem FieldProblemOf(PathCheck check) {
    switch (check) {
        case PathCheck::kOk:
            return FieldProblem::kOk;
        case PathCheck::kNotAbsolute:
            return FieldProblem::kNotAbsolute;
        case PathCheck::kTooLong:
            return FieldProblem::kTooLong;
        case PathCheck::kNoFileName:
            return FieldProblem::kNoFileName;
        case PathCheck::kBadCharacter:
            return FieldProblem::kBadCharacter;
    }
    return FieldProblem::kBadCharacter;
}

FieldProblem CheckPathText(std::string_view path) {
    if (path.size() > kMaxPathText)
        return FieldProblem::kTooLong;
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (c < 32 || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*')
            return FieldProblem::kBadCharacter;
        if (c == ':' && i != 1)
            return FieldProblem::kBadCharacter;
    }
    return FieldProblem::kOk;
}

std::string_view FileNamePart(std::string_view path) {
    size_t i = path.size();
    while (i > 0 && !IsSeparator(path[i - 1]))
        --i;
    return path.substr(i);
}

std::string_view FolderPart(std::string_view path) {
    size_t i = path.size();
    while (i > 0 && !IsSeparator(path[i - 1]))
        --i;
    if (i == 0)
        return {};
    if (i == 3 && path[1] == ':')  // keep the root's separator
        return path.substr(0, 3);
    return path.substr(0, i - 1);
}

FieldProblem JoinCaptureFolder(std::string_view folder, std::string_view fileName,
                               std::string& joined) {
    std::string result(folder);
    if (!result.empty() && !IsSeparator(result.back()))
        result += '\\';
    result += fileName;
    FieldProblem problem = CheckPathText(result);
    if (problem != FieldProblem::kOk)
        return problem;
    joined = std::move(result);
    return FieldProblem::kOk;
}

bool NeedsGraphRebuild(int controlId, int notification, bool valueChanged) {
    switch (controlId) {
        case IDC_SETTINGS_VIDEO_DEVICE:
        case IDC_SETTINGS_VIDEO_INPUT:
            return valueChanged;
        case IDC_SETTINGS_ENABLE_GPS:
            return true;
        case IDC_SETTINGS_RESOLUTION:
        case IDC_SETTINGS_FRAME_RATE:
            return notification == kSelectionChange;
        default:
            return false;
    }
}

std::string ProblemText(FieldProblem problem, std::string_view field) {
    std::string name(field);
    switch (problem) {
        case FieldProblem::kOk:
            return {};
        case FieldProblem::kNotANumber:
            return name + " takes digits only; the setting keeps its last value.";
        case FieldProblem::kTooLarge:
            return name + " is too large; the setting keeps its last value.";
        case FieldProblem::kTooManyParts:
            return name + " is hours:minutes:seconds at most; the setting keeps its last value.";
        case FieldProblem::kTooLong:
            return name +
                   " is too long for the names of the recordings under it; the setting "
                   "keeps its last value.";
        case FieldProblem::kBadCharacter:
            return name +
                   " contains a character a path cannot have; the setting keeps its last "
                   "value.";
        case FieldProblem::kNotAFolder:
            return name + ": choose a folder, not a file; the setting is unchanged.";
        case FieldProblem::kNotWritable:
            return name + ": the folder cannot be written to; choose another.";
        case FieldProblem::kNotAbsolute:
            return name +
                   " needs a drive or a share, such as C:\\Video\\Capture; the "
                   "setting keeps its last value.";
        case FieldProblem::kNoFileName:
            return name +
                   " needs a file name after the folder, such as C:\\Video\\Capture; "
                   "the setting keeps its last value.";
    }
    return {};
}

}  // namespace vistrel
