// What every qvtool command shares: the output file guard and the interrupt handling.
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
