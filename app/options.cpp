#include "app/options.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

std::string quoted(std::string_view text) {
    std::string result(1, '"');
    result.append(text);
    result.push_back('"');
    return result;
}

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.5f", seconds);
    return text;
}

// A whole decimal number of seconds, such as 62 or 62.5; no sign, exponent, or trailing text.
std::optional<double> parseSeconds(std::string_view text) {
    if (text.empty() || !(text.front() >= '0' && text.front() <= '9')) return std::nullopt;
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> parseSide(std::string_view text) {
    int value = 0;
    if (text.empty() || text.front() == '-' || text.front() == '+') return std::nullopt;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

struct Parser {
    std::span<const std::string_view> arguments;
    std::size_t next = 0;
    double showEnd = 0.0;
    ParsedOptions parsed;

    bool fail(std::string message) {
        parsed.error = std::move(message);
        return false;
    }

    std::optional<std::string_view> value(std::string_view option, const char* what) {
        if (next >= arguments.size()) {
            fail(std::string(option) + " needs " + what);
            return std::nullopt;
        }
        return arguments[next++];
    }

    // A time within the show; false (with the message) otherwise.
    bool showTime(std::string_view option, std::string_view text, double& seconds) {
        const std::optional<double> parsedValue = parseSeconds(text);
        if (!parsedValue) return fail(std::string(option) + ": " + quoted(text) + " is not a number of seconds");
        if (*parsedValue > showEnd) {
            return fail(std::string(option) + ": " + quoted(text) + " s is past the show's end (" +
                        secondsText(showEnd) + " s)");
        }
        seconds = *parsedValue;
        return true;
    }

    bool at() {
        if (parsed.options.at) return fail("--at is given twice");
        const auto text = value("--at", "SECONDS");
        double seconds = 0.0;
        if (!text || !showTime("--at", *text, seconds)) return false;
        parsed.options.at = seconds;
        return true;
    }

    bool loop() {
        if (parsed.options.loop) return fail("--loop is given twice");
        const auto from = value("--loop", "FROM and TO");
        if (!from) return false;
        const auto to = value("--loop", "FROM and TO");
        LoopRange range;
        if (!to || !showTime("--loop", *from, range.from) || !showTime("--loop", *to, range.to)) return false;
        if (!(range.from < range.to)) {
            return fail("--loop: FROM (" + std::string(*from) + ") must be below TO (" + std::string(*to) + ")");
        }
        parsed.options.loop = range;
        return true;
    }

    bool window() {
        if (parsed.options.window) return fail("--window is given twice");
        const auto text = value("--window", "WIDTHxHEIGHT");
        if (!text) return false;
        const std::size_t cross = text->find('x');
        const std::optional<int> width = cross == std::string_view::npos ? std::nullopt : parseSide(text->substr(0, cross));
        const std::optional<int> height =
            cross == std::string_view::npos ? std::nullopt : parseSide(text->substr(cross + 1));
        if (!width || !height) return fail("--window: " + quoted(*text) + " is not WIDTHxHEIGHT, such as 640x360");
        const auto inRange = [](int side) { return side >= kMinWindowSide && side <= kMaxWindowSide; };
        if (!inRange(*width) || !inRange(*height)) {
            return fail("--window: " + quoted(*text) + " is out of range (each side " + std::to_string(kMinWindowSide) +
                        " to " + std::to_string(kMaxWindowSide) + " pixels)");
        }
        parsed.options.window = WindowSize{*width, *height};
        return true;
    }

    bool option() {
        const std::string_view name = arguments[next++];
        if (name == "--at") return at();
        if (name == "--loop") return loop();
        if (name == "--window") return window();
        return fail("unknown option " + quoted(name));
    }
};

}  // namespace

ParsedOptions parseOptions(std::span<const std::string_view> arguments, double showEnd) {
    Parser parser{arguments, 0, showEnd, {}};
    while (parser.next < arguments.size()) {
        if (!parser.option()) return ParsedOptions{{}, parser.parsed.error};
    }
    parser.parsed.options.makingMode = !arguments.empty();
    return parser.parsed;
}

double startTime(const ProductionOptions& options) {
    if (options.at) return *options.at;
    if (options.loop) return options.loop->from;
    return 0.0;
}
