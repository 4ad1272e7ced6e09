// Commands interrupted once their temporary output exists: each ends with 128 + the signal, the
// temporary gone and OUT as it was; `qvtool song`'s statuses besides.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/scratch_folder.h"
#include "tests/support/tool_run.h"

namespace {

namespace fs = std::filesystem;

// Starts qvtool with `arguments` (OUT is `folder`/out, holding "earlier"), sends `signal` as soon
// as a temporary file appears beside OUT, and returns the exit status; `secondsToEnd`, when given,
// gets the time from the signal to the exit.
int interruptOnceWriting(const fs::path& folder, std::vector<std::string> arguments, int signal,
                         double* secondsToEnd = nullptr) {
    std::ofstream(folder / "out") << "earlier";
    const pid_t pid = startTool(QVTOOL_PATH, arguments, QV_SOURCE_DIR);
    if (pid <= 0) return -2;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (entriesOf(folder).size() < 2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const bool sawTemporary = entriesOf(folder).size() == 2;
    const auto sent = std::chrono::steady_clock::now();
    ::kill(pid, signal);
    const int status = waitForTool(pid);
    const std::chrono::duration<double> toEnd = std::chrono::steady_clock::now() - sent;
    if (secondsToEnd != nullptr) *secondsToEnd = toEnd.count();
    return sawTemporary ? status : -3;
}

class InterruptedToolsTest : public ::testing::Test {
protected:
    void expectOutputAsBefore() {
        EXPECT_EQ(entriesOf(folder), std::vector<fs::path>{folder / "out"});
        EXPECT_EQ(slurp(folder / "out"), "earlier");
    }
    const ScratchFolder scratch{"interrupted"};
    const fs::path& folder = scratch.path;
};

// frame does not poll: the interrupt ends it at once, whatever it is doing.
TEST_F(InterruptedToolsTest, FrameKilledWhileDrawingALargePictureLeavesNothing) {
    const fs::path out = folder / "out";
    EXPECT_EQ(interruptOnceWriting(folder, {"frame", "62", out.string(), "--size", "2560x1440"}, SIGTERM),
              128 + SIGTERM);
    expectOutputAsBefore();
}

// song polls: it notes the interrupt, finishes its render and then refuses to rename.
TEST_F(InterruptedToolsTest, SongInterruptedWhileRenderingLeavesNothingAndSaysSo) {
    const fs::path out = folder / "out";
    EXPECT_EQ(interruptOnceWriting(folder, {"song", "--raw", out.string(), "--no-bank"}, SIGINT), 128 + SIGINT);
    expectOutputAsBefore();

    EXPECT_EQ(runTool(QVTOOL_PATH, {"song"}).status, 2);
    EXPECT_EQ(runTool(QVTOOL_PATH, {"song", "--raw", out.string(), "--loud"}).status, 2);
    EXPECT_EQ(runTool(QVTOOL_PATH, {"song", "--raw", (folder / "missing" / "out").string()}).status, 1);
    EXPECT_EQ(runTool(QVTOOL_PATH, {"song", "--raw", out.string(), "--bank", (folder / "no.dls").string()}).status, 1);
    expectOutputAsBefore();
}

// join polls: an interrupt while it renders the song (up to 100 s here) or copies pictures leaves
// nothing, and ends it at its next check, well before the work a whole join does. (Without the
// checks it would still end right, but only after rendering the whole song.)
TEST_F(InterruptedToolsTest, JoinInterruptedWhileWritingLeavesNothing) {
    const ScratchFolder pieces("interrupted_pieces");
    // OUT must end in .mp4: out.mp4 beside "out", which stays as it was, and nothing else may remain.
    std::vector<std::string> join = {"join", (folder / "out.mp4").string()};
    for (const auto& [from, to] : {std::pair{"99.5", "99.8"}, std::pair{"99.8", "100"}}) {
        join.push_back((pieces.path / (std::string(from) + ".mp4")).string());
        ASSERT_EQ(runTool(QVTOOL_PATH, {"capture", join.back(), "--from", from, "--to", to, "--size", "32x18", "--no-audio"},
                          QV_SOURCE_DIR).status, 0);
    }
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(runTool(QVTOOL_PATH, join).status, 0);
    const double wholeJoin = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    fs::remove(folder / "out.mp4");
    double toEnd = 0.0;
    EXPECT_EQ(interruptOnceWriting(folder, join, SIGINT, &toEnd), 128 + SIGINT);
    EXPECT_LT(toEnd, wholeJoin / 4) << "a whole join took " << wholeJoin << " s";
    expectOutputAsBefore();
}

}  // namespace
