// How every qvtool command reads its command line: one size parser, one reader of "--flag value"
// options, and one rule for exit statuses.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Exit statuses of every command: 0 done, 2 a bad command line (unknown option, malformed or
// out-of-range value), 1 a failure while working (unreadable input, unwritable output, a GL or
// encoder failure).
inline constexpr int kDoneStatus = 0;
inline constexpr int kFailureStatus = 1;
inline constexpr int kUsageStatus = 2;

// "WxH" with two positive whole numbers, such as 640x360; each command checks its own range.
// On failure returns why, in a few words, and leaves width and height as they were.
[[nodiscard]] std::optional<std::string> parseSize(std::string_view text, int& width, int& height);

// A whole decimal number and nothing else; false leaves `value` as it was.
[[nodiscard]] bool parseWholeNumber(std::string_view text, int& value);

// A finite decimal number and nothing else; false leaves `value` as it was.
[[nodiscard]] bool parseDecimal(std::string_view text, double& value);

// An option a command accepts: "--size" takes the next argument as its value, "--stats" none.
struct OptionRule {
    std::string_view flag;
    bool takesValue = false;
};

struct GivenOption {
    std::string_view flag;
    std::string_view value;  // empty for an option without a value
};

// Reads arguments that are all options. An unknown option, a missing value or an option given
// twice: returns why, in a few words. Otherwise `given` holds the options in command-line order.
[[nodiscard]] std::optional<std::string> readOptions(std::span<char* const> arguments,
                                                     std::span<const OptionRule> rules,
                                                     std::vector<GivenOption>& given);
