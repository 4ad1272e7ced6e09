#include "tools/tool_arguments.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

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

std::optional<std::string> parseSize(std::string_view text, int& width, int& height) {
    const std::size_t cross = text.find('x');
    int w = 0;
    int h = 0;
    if (cross == std::string_view::npos || !parseWholeNumber(text.substr(0, cross), w) ||
        !parseWholeNumber(text.substr(cross + 1), h)) {
        return "--size takes WxH, such as 640x360, not '" + std::string(text) + "'";
    }
    if (w <= 0 || h <= 0) return "--size needs sides of at least one pixel, not '" + std::string(text) + "'";
    width = w;
    height = h;
    return std::nullopt;
}

std::optional<std::string> readOptions(std::span<char* const> arguments, std::span<const OptionRule> rules,
                                       std::vector<GivenOption>& given) {
    given.clear();
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view flag = arguments[i];
        const auto rule = std::find_if(rules.begin(), rules.end(), [&](const OptionRule& r) { return r.flag == flag; });
        if (rule == rules.end()) return "unknown option '" + std::string(flag) + "'";
        const bool repeated =
            std::any_of(given.begin(), given.end(), [&](const GivenOption& g) { return g.flag == flag; });
        if (repeated) return "option '" + std::string(flag) + "' given twice";
        GivenOption option{rule->flag, {}};
        if (rule->takesValue) {
            if (i + 1 >= arguments.size()) return "option '" + std::string(flag) + "' needs a value";
            option.value = arguments[++i];
        }
        given.push_back(option);
    }
    return std::nullopt;
}
