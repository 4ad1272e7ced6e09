#include "cli/arguments.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

std::string inQuotes(std::string_view text) {
    std::string result(1, '\'');
    result.append(text);
    result.push_back('\'');
    return result;
}

bool parseWholeNumber(std::string_view text, int& value) {
    int parsed = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size()) return false;
    value = parsed;
    return true;
}

bool parseDecimal(std::string_view text, double& value) {
    // strtod would also take leading blanks, hexadecimal and "inf"; from_chars takes only decimals.
    double parsed = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), parsed, std::chars_format::general);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size()) return false;
    if (!std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

std::optional<std::string> parseSize(std::string_view flag, std::string_view text, int& width, int& height) {
    const std::size_t cross = text.find('x');
    int w = 0;
    int h = 0;
    if (cross == std::string_view::npos || !parseWholeNumber(text.substr(0, cross), w) ||
        !parseWholeNumber(text.substr(cross + 1), h)) {
        return std::string(flag) + " takes WxH, such as 640x360, not " + inQuotes(text);
    }
    if (w <= 0 || h <= 0) return std::string(flag) + " needs sides of at least one pixel, not " + inQuotes(text);
    width = w;
    height = h;
    return std::nullopt;
}

std::optional<std::string> readOptions(std::span<const std::string_view> arguments,
                                       std::span<const OptionRule> rules, std::vector<GivenOption>& given) {
    given.clear();
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view flag = arguments[i];
        const auto rule = std::find_if(rules.begin(), rules.end(), [&](const OptionRule& r) { return r.flag == flag; });
        if (rule == rules.end()) return "unknown option " + inQuotes(flag);
        const bool repeated =
            std::any_of(given.begin(), given.end(), [&](const GivenOption& g) { return g.flag == flag; });
        if (repeated) return "option " + inQuotes(flag) + " given twice";
        if (arguments.size() - 1 - i < static_cast<std::size_t>(rule->valueCount)) {
            return "option " + inQuotes(flag) + (rule->valueCount == 1 ? " needs a value" : " needs two values");
        }
        GivenOption option{rule->flag, {}, {}};
        if (rule->valueCount >= 1) option.value = arguments[++i];
        if (rule->valueCount >= 2) option.second = arguments[++i];
        given.push_back(option);
    }
    return std::nullopt;
}

std::optional<std::string> readOptions(std::span<char* const> arguments, std::span<const OptionRule> rules,
                                       std::vector<GivenOption>& given) {
    const std::vector<std::string_view> words(arguments.begin(), arguments.end());
    return readOptions(std::span<const std::string_view>(words), rules, given);
}
