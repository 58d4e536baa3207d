// Strict parsing of command-line values for the console tools: a value is
// either wholly a number in range or an error, never half-read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tools {

std::optional<long long> ParseInteger(std::string_view text, long long min, long long max);
std::optional<double> ParseNumber(std::string_view text, double min, double max);

// Walks argv; `Value()` takes the argument after an option, or reports it missing.
class ArgReader {
  public:
    ArgReader(int argc, char** argv) : argc_(argc), argv_(argv) {}
    bool Done() const { return index_ >= argc_; }
    std::string_view Next() { return argv_[index_++]; }
    std::optional<std::string_view> Value() {
        if (index_ >= argc_)
            return std::nullopt;
        return std::string_view(argv_[index_++]);
    }

  private:
    int argc_;
    char** argv_;
    int index_ = 1;
};

// Prints "<tool>: <message>" and the hint to use --help; returns exit code 2.
int UsageError(const char* tool, const std::string& message);

}  // namespace tools
