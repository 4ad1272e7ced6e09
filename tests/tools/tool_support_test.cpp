// What every qvtool command shares: the output file guard, the command-line reading and the
// interrupt handling.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/scratch_folder.h"
#include "tests/support/tool_run.h"
#include "tools/interrupts.h"
#include "tools/output_file.h"
#include "cli/arguments.h"

namespace {

namespace fs = std::filesystem;

class OutputFileTest : public ::testing::Test {
protected:
    void SetUp() override { std::ofstream(folder / "out.bin") << "earlier"; }
    const ScratchFolder scratch{"output_file"};
    const fs::path& folder = scratch.path;
};

// Every way out short of a commit (an early return, an exception, a failed write) leaves the
// path as it was and no temporary file.
TEST_F(OutputFileTest, AnythingButACommitLeavesThePathAsItWas) {
    {
        OutputFile file;
        ASSERT_EQ(openOutput(file, folder / "out.bin"), std::nullopt);
        writeBytes(file, std::as_bytes(std::span("new", 3)));
        EXPECT_EQ(entriesOf(folder).size(), 2u) << "the temporary file sits beside the path";
    }
    EXPECT_EQ(entriesOf(folder), std::vector<fs::path>{folder / "out.bin"});

    EXPECT_THROW(
        {
            OutputFile file;
            ASSERT_EQ(openOutput(file, folder / "out.bin"), std::nullopt);
            throw std::runtime_error("failed half-way");
        },
        std::runtime_error);
    EXPECT_EQ(entriesOf(folder), std::vector<fs::path>{folder / "out.bin"});

    OutputFile full;
    ASSERT_EQ(openOutput(full, folder / "out.bin"), std::nullopt);
    const int device = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(device, 0);
    ASSERT_EQ(::dup2(device, full.descriptor), full.descriptor);
    ::close(device);
    writeBytes(full, std::as_bytes(std::span("new", 3)));
    EXPECT_FALSE(commitOutput(full));
    EXPECT_EQ(entriesOf(folder), std::vector<fs::path>{folder / "out.bin"});
    EXPECT_EQ(slurp(folder / "out.bin"), "earlier");
}

// The temporary name is created exclusively: a file or a link already there is neither truncated
// nor followed, and the name is refused.
TEST_F(OutputFileTest, AnExistingFileOrLinkAtTheTemporaryNameIsNeverTouched) {
    std::ofstream(folder / "victim") << "victim";
    fs::create_symlink(folder / "victim", folder / "link.partial");
    std::ofstream(folder / "plain.partial") << "plain";
    for (const char* taken : {"link.partial", "plain.partial"}) {
        OutputFile file;
        EXPECT_FALSE(createTemporaryFile(file, folder / "out.bin", folder / taken)) << taken;
        EXPECT_EQ(errno, EEXIST) << taken;
        EXPECT_EQ(file.descriptor, -1);
    }
    EXPECT_EQ(slurp(folder / "victim"), "victim");
    EXPECT_EQ(slurp(folder / "plain.partial"), "plain");
}

TEST_F(OutputFileTest, AFolderOrAMissingFolderIsRefusedWithNothingCreated) {
    fs::create_directories(folder / "taken");
    OutputFile file;
    EXPECT_EQ(openOutput(file, folder / "taken"), "'" + (folder / "taken").string() + "' is a folder");
    EXPECT_EQ(openOutput(file, folder / "missing" / "out.bin"),
              "folder '" + (folder / "missing").string() + "' does not exist");
    EXPECT_EQ(file.descriptor, -1);
    EXPECT_EQ(entriesOf(folder).size(), 2u);
    EXPECT_TRUE(fs::is_empty(folder / "taken"));
}

TEST(ToolArgumentsTest, SizesAreTwoPositiveWholeNumbers) {
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

TEST(ToolArgumentsTest, NumbersMustBeWholeOrFiniteAndNothingElse) {
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

TEST(ToolArgumentsTest, OptionsAreKnownGivenOnceAndHaveTheirValues) {
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

// An interrupt at any moment before the rename removes the temporary file and leaves the path as
// it was: at once for a command that does not poll, at the commit for one that does (the last
// check and the rename are one step), and at once again on a second interrupt.
class InterruptsDeathTest : public OutputFileTest {};

TEST_F(InterruptsDeathTest, AnInterruptBeforeTheRenameLeavesThePathAsItWas) {
    const auto interruptWhileWriting = [&](bool polled) {
        catchInterrupts();
        if (polled) pollInterrupts();
        OutputFile file;
        if (openOutput(file, folder / "out.bin")) std::_Exit(3);
        writeBytes(file, std::as_bytes(std::span("new", 3)));
        ::kill(::getpid(), SIGTERM);
        while (!interrupted()) ::usleep(1000);  // not polled: the process ends here
        if (commitOutput(file)) std::_Exit(4);  // polled: the commit must refuse
        ::kill(::getpid(), SIGINT);
        ::pause();  // the second interrupt ends the process
        std::_Exit(5);
    };
    EXPECT_EXIT(interruptWhileWriting(false), ::testing::ExitedWithCode(128 + SIGTERM), "interrupted");
    EXPECT_EQ(entriesOf(folder), std::vector<fs::path>{folder / "out.bin"});
    EXPECT_EXIT(interruptWhileWriting(true), ::testing::ExitedWithCode(128 + SIGTERM), "");
    EXPECT_EQ(entriesOf(folder), std::vector<fs::path>{folder / "out.bin"});
    EXPECT_EQ(slurp(folder / "out.bin"), "earlier");
}

}  // namespace
