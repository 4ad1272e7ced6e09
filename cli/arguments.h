// How the production's making-mode options and every qvtool command read a command line: one
// reader of "--flag value..." options, the number and size parsers, one way to quote a word in
// a message, and one rule for exit statuses.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Exit statuses: 0 done, 2 a bad command line (unknown option, malformed or out-of-range
// value), 1 a failure while working (unreadable input, unwritable output, a GL or encoder
// failure).
inline constexpr int kDoneStatus = 0;
inline constexpr int kFailureStatus = 1;
inline constexpr int kUsageStatus = 2;
// After an interrupt: 128 + the signal's number, as a shell reports a process the signal ended.
[[nodiscard]] constexpr int signalExitStatus(int signal) { return 128 + signal; }

// A word of the command line or a file name as messages show it: in single quotes. (Not
// "quoted": std::quoted would be found for std::string arguments.)
[[nodiscard]] std::string inQuotes(std::string_view text);

// "WxH" with two positive whole numbers, such as 640x360; each caller checks its own range.
// On failure returns why, naming `flag`, and leaves width and height as they were.
[[nodiscard]] std::optional<std::string> parseSize(std::string_view flag, std::string_view text, int& width,
                                                   int& height);

// A whole decimal number and nothing else; false leaves `value` as it was.
[[nodiscard]] bool parseWholeNumber(std::string_view text, int& value);

// A finite decimal number and nothing else; false leaves `value` as it was.
[[nodiscard]] bool parseDecimal(std::string_view text, double& value);

// An option a command accepts: "--size" takes the next argument as its value, "--loop" the next
// two, "--stats" none.
struct OptionRule {
    std::string_view flag;
    int valueCount = 0;  // 0, 1 or 2
};

struct GivenOption {
    std::string_view flag;
    std::string_view value;   // the first value; empty for an option without one
    std::string_view second;  // the second value of a two-value option
};

// Reads arguments that are all options. An unknown option, a missing value or an option given
// twice: returns why, in one line. Otherwise `given` holds the options in command-line order.
// The values are views of the arguments, so argv's words stay NUL-terminated through them.
[[nodiscard]] std::optional<std::string> readOptions(std::span<const std::string_view> arguments,
                                                     std::span<const OptionRule> rules,
                                                     std::vector<GivenOption>& given);
[[nodiscard]] std::optional<std::string> readOptions(std::span<char* const> arguments,
                                                     std::span<const OptionRule> rules,
                                                     std::vector<GivenOption>& given);
