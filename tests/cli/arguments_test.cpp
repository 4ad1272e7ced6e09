// The command-line reader that making mode and every qvtool command share: sizes, numbers and
// options with their values.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"

namespace {

TEST(ArgumentsTest, SizesAreTwoPositiveWholeNumbers) {
    int width = 7;
    int height = 9;
    EXPECT_EQ(parseSize("--size", "640x360", width, height), std::nullopt);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 360);
    for (const char* bad : {"", "x", "640", "640x", "x360", "640x360x2", "-640x360", "640x0", "64 x36", "0x10",
                            "640X360", "99999999999x1"}) {
        EXPECT_TRUE(parseSize("--size", bad, width, height).has_value()) << bad;
        EXPECT_EQ(width, 640) << bad;
        EXPECT_EQ(height, 360) << bad;
    }
}

TEST(ArgumentsTest, NumbersMustBeWholeOrFiniteAndNothingElse) {
    int whole = 3;
    EXPECT_FALSE(parseWholeNumber("", whole));
    EXPECT_FALSE(parseWholeNumber("12fps", whole));
    EXPECT_FALSE(parseWholeNumber(" 12", whole));
    EXPECT_EQ(whole, 3);
    double seconds = 1.5;
    EXPECT_FALSE(parseDecimal("inf", seconds));
    EXPECT_FALSE(parseDecimal("1e999", seconds));
    EXPECT_FALSE(parseDecimal("nan", seconds));
    EXPECT_FALSE(parseDecimal("2s", seconds));
    EXPECT_EQ(seconds, 1.5);
    EXPECT_TRUE(parseDecimal("-20.25", seconds));
    EXPECT_EQ(seconds, -20.25);
}

TEST(ArgumentsTest, OptionsAreKnownGivenOnceAndHaveTheirValues) {
    constexpr OptionRule rules[] = {{"--size", 1}, {"--loop", 2}, {"--stats", 0}};
    // The words outlive the call: the values point into them.
    std::vector<std::string> words;
    const auto read = [&](std::vector<std::string> line, std::vector<GivenOption>& given) {
        words = std::move(line);
        std::vector<char*> arguments;
        for (std::string& word : words) arguments.push_back(word.data());
        return readOptions(arguments, rules, given);
    };
    std::vector<GivenOption> given;
    EXPECT_EQ(read({"--stats", "--size", "2x2"}, given), std::nullopt);
    ASSERT_EQ(given.size(), 2u);
    EXPECT_EQ(given[1].flag, "--size");
    EXPECT_EQ(given[1].value, "2x2");
    EXPECT_EQ(read({"--loop", "1", "2", "--stats"}, given), std::nullopt);
    EXPECT_EQ(given[0].value, "1");
    EXPECT_EQ(given[0].second, "2");
    EXPECT_EQ(read({"--loop", "1"}, given), "option '--loop' needs two values");
    EXPECT_EQ(read({"--size"}, given), "option '--size' needs a value");
    EXPECT_EQ(read({"--stats", "--stats"}, given), "option '--stats' given twice");
    EXPECT_EQ(read({"--sise", "2x2"}, given), "unknown option '--sise'");
    EXPECT_EQ(read({"2x2"}, given), "unknown option '2x2'");
}

}  // namespace
