// The production's command line: what it accepts, and one clear message for everything else.
#include <gtest/gtest.h>

#include <cmath>

#include <string>
#include <string_view>
#include <vector>

#include "app/options.h"
#include "synth/song_constants.h"

namespace {

constexpr double kShowEnd = synth::kSongSeconds;

ParsedOptions parse(std::vector<std::string_view> arguments) { return parseOptions(arguments, kShowEnd); }

TEST(OptionsTest, NoArgumentsIsTheShowAsItAlwaysWas) {
    const ParsedOptions parsed = parse({});
    EXPECT_FALSE(parsed.error);
    EXPECT_FALSE(parsed.options.makingMode);
    EXPECT_FALSE(parsed.options.at || parsed.options.loop || parsed.options.window);
    EXPECT_EQ(startTime(parsed.options), 0.0);
}

TEST(OptionsTest, EachOptionAloneOrTogetherInAnyOrderPutsItInMakingMode) {
    const ParsedOptions all = parse({"--window", "640x360", "--loop", "30", "34.5", "--at", "31.25"});
    ASSERT_FALSE(all.error) << *all.error;
    EXPECT_TRUE(all.options.makingMode);
    EXPECT_EQ(all.options.window->width, 640);
    EXPECT_EQ(all.options.window->height, 360);
    EXPECT_EQ(all.options.loop->from, 30.0);
    EXPECT_EQ(all.options.loop->to, 34.5);
    EXPECT_EQ(startTime(all.options), 31.25) << "--at wins over the loop's start";

    const ParsedOptions loopOnly = parse({"--loop", "30", "34"});
    ASSERT_FALSE(loopOnly.error);
    EXPECT_EQ(startTime(loopOnly.options), 30.0) << "without --at the loop starts at its start";

    const ParsedOptions windowOnly = parse({"--window", "16x8192"});
    ASSERT_FALSE(windowOnly.error);
    EXPECT_TRUE(windowOnly.options.makingMode);
    EXPECT_EQ(startTime(windowOnly.options), 0.0);

    // The show's ends are inside it.
    EXPECT_FALSE(parse({"--at", "0"}).error);
    EXPECT_FALSE(parse({"--at", "111.98984"}).error);
    EXPECT_FALSE(parse({"--loop", "0", "111.98984"}).error);
}

TEST(OptionsTest, TimesArePatternAndRowOrSecondsAndEveryReadoutTimeIsTakenBack) {
    const ParsedOptions rows = parse({"--at", "12:3", "--loop", "12:0", "13:0"});
    ASSERT_FALSE(rows.error) << *rows.error;
    EXPECT_EQ(std::lround(*rows.options.at * 44100.0), (12 * 16 + 3) * 5512) << "rows of 5,512 frames, 16 a pattern";
    EXPECT_EQ(std::lround(rows.options.loop->from * 44100.0), 12 * 16 * 5512);
    EXPECT_EQ(std::lround(rows.options.loop->to * 44100.0), 13 * 16 * 5512);
    const ParsedOptions end = parse({"--loop", "81.123", "111.990"});
    ASSERT_FALSE(end.error) << "the readout shows the song's end as 111.990: " << *end.error;
    EXPECT_EQ(end.options.loop->to, kShowEnd);
    EXPECT_FALSE(parse({"--loop", "55:0", "56:0"}).error) << "the last pattern ends with the song";
    for (const std::string_view bad : {"56:1", "3:16", "1:", ":2", "1:2:3", "-1:0"}) {
        const ParsedOptions refused = parse({"--at", bad});
        ASSERT_TRUE(refused.error) << bad;
    }
    EXPECT_TRUE(parse({"--at", "111.991"}).error) << "past the readout's rounding of the end";
}

// Each bad command line gives one line naming the problem, and no options.
TEST(OptionsTest, BadCommandLinesAreRefusedWithAMessageSayingWhy) {
    struct Case {
        std::vector<std::string_view> arguments;
        std::string mentions;
    };
    const std::vector<Case> cases = {
        {{"--speed", "2"}, "unknown option '--speed'"},
        {{"62"}, "unknown option '62'"},
        {{"--at=62"}, "unknown option"},
        {{"--at"}, "'--at' needs a value"},
        {{"--at", "sixty"}, "not a number"},
        {{"--at", "62s"}, "not a number"},
        {{"--at", "-1"}, "outside the show"},
        {{"--at", "nan"}, "not a number"},
        {{"--at", ""}, "not a number"},
        {{"--at", "112"}, "outside the show"},
        {{"--at", "1", "--at", "2"}, "given twice"},
        {{"--loop", "30"}, "'--loop' needs two values"},
        {{"--loop", "34", "30"}, "must be below"},
        {{"--loop", "30", "30"}, "must be below"},
        {{"--loop", "100", "200"}, "outside the show"},
        {{"--at", "50", "--loop", "30", "40"}, "outside --loop"},
        {{"--loop", "30", "40", "--at", "40"}, "outside --loop"},
        {{"--at", "29.999", "--loop", "30", "40"}, "outside --loop"},
        {{"--window", "640"}, "takes WxH"},
        {{"--window", "640x"}, "takes WxH"},
        {{"--window", "x360"}, "takes WxH"},
        {{"--window", "640x360x24"}, "takes WxH"},
        {{"--window", "-640x360"}, "at least one pixel"},
        {{"--window", "640X360"}, "takes WxH"},
        {{"--window", "15x360"}, "out of range"},
        {{"--window", "640x8193"}, "out of range"},
        {{"--window", "99999999999x360"}, "takes WxH"},
        {{"--window", "640x360", "--at", "1", "--bogus"}, "unknown option '--bogus'"},
    };
    for (const Case& c : cases) {
        std::string line;
        for (std::string_view argument : c.arguments) line += std::string(argument) + " ";
        const ParsedOptions parsed = parse(c.arguments);
        ASSERT_TRUE(parsed.error) << line;
        EXPECT_NE(parsed.error->find(c.mentions), std::string::npos) << line << "-> " << *parsed.error;
        EXPECT_EQ(parsed.error->find('\n'), std::string::npos) << line << "-> one line";
        EXPECT_FALSE(parsed.options.makingMode) << line;
    }
}

}  // namespace
