#include "tools/common/args.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tools {

std::optional<long long> ParseInteger(std::string_view text, long long min, long long max) {
    std::string s(text);
    if (s.empty() || s.size() > 32)
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(s.c_str(), &end, 10);
    if (errno != 0 || end != s.c_str() + s.size() || v < min || v > max)
        return std::nullopt;
    return v;
}

std::optional<double> ParseNumber(std::string_view text, double min, double max) {
    std::string s(text);
    if (s.empty() || s.size() > 64)
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(s.c_str(), &end);
    if (errno != 0 || end != s.c_str() + s.size() || !std::isfinite(v) || v < min || v > max) {
        return std::nullopt;
    }
    return v;
}

int UsageError(const char* tool, const std::string& message) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", tool, message.c_str(), tool);
    return 2;
}

}  // namespace tools
