#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

#include "platform/headless/headless.h"
#include "shaders/shader_library.h"
#include "tests/gl/gl_test_context.h"
#include "tests/shaders/shader_test_support.h"

namespace {

using namespace shadertest;
using platform::headless::takeMessageBoxes;

// A library on its own temporary folder.
class ShaderLibraryTest : public ::testing::Test {
protected:
    void SetUp() override { takeMessageBoxes(); }

    void write(const std::string& name, std::string_view bytes) { writeFile(folder.path() / name, bytes); }

    // Runs the per-frame reload until `done` holds, for at most a few seconds.
    bool reloadUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            library.reloadChanged();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    // Saves the marker file and reloads until its program changed: every change made before
    // has then been seen and handled, since the watch reports changes in order.
    void settleWithMarker() {
        const std::uint32_t before = marker->program;
        write("marker.glsl", flatColorSource(0, 0, ++markerSaves * 0.01f));
        ASSERT_TRUE(reloadUntil([&] { return marker->program != before; })) << "marker not reloaded";
    }

    void loadMarkerAndArm() {
        write("marker.glsl", flatColorSource(0, 0, 0));
        marker = library.load("marker.glsl");
        ASSERT_TRUE(marker);
        library.watcher.arm();
        ASSERT_EQ(library.watcher.state(), WatcherState::Waiting);
    }

    TempFolder folder;
    ShaderLibrary library{folder.text()};
    std::shared_ptr<Shader> marker;
    int markerSaves = 0;
};

TEST_F(ShaderLibraryTest, LoadingANameAgainReadsTheFileButCompilesOnlyOnce) {
    write("a.glsl", warningSource());
    const auto first = library.load("a.glsl");
    ASSERT_TRUE(first);
    EXPECT_EQ(takeMessageBoxes().size(), 1u);
    const std::uint32_t program = first->program;

    write("a.glsl", warningSource());  // new text: a compile would show a new box
    const auto second = library.load("a.glsl");
    EXPECT_EQ(second, first);
    EXPECT_EQ(second->program, program);
    EXPECT_TRUE(takeMessageBoxes().empty());
    EXPECT_EQ(library.shaders.size(), 1u);
    EXPECT_EQ(library.shaders.at("a.glsl"), first);
}

TEST_F(ShaderLibraryTest, UnreadableFileGivesAnEmptyHandleEvenWithAnEntry) {
    EXPECT_EQ(library.load("missing.glsl"), nullptr);
    EXPECT_TRUE(library.shaders.empty());

    write("a.glsl", flatColorSource(1, 0, 0));
    ASSERT_TRUE(library.load("a.glsl"));
    write("a.glsl", "");
    EXPECT_EQ(library.load("a.glsl"), nullptr);
    std::filesystem::remove(folder.path() / "a.glsl");
    EXPECT_EQ(library.load("a.glsl"), nullptr);
    EXPECT_EQ(library.shaders.size(), 1u) << "the entry stays";
    EXPECT_TRUE(takeMessageBoxes().empty());
}

TEST_F(ShaderLibraryTest, NamesAreExactKeysKeepingCaseAndSubFolders) {
    std::filesystem::create_directory(folder.path() / "sub");
    write("a.glsl", flatColorSource(1, 0, 0));
    write("A.glsl", flatColorSource(0, 1, 0));
    write("sub/a.glsl", flatColorSource(0, 0, 1));
    const auto lower = library.load("a.glsl");
    const auto upper = library.load("A.glsl");
    const auto nested = library.load("sub/a.glsl");
    ASSERT_TRUE(lower && upper && nested);
    EXPECT_NE(lower, upper);
    EXPECT_NE(lower->program, upper->program);
    EXPECT_EQ(library.shaders.size(), 3u);
    EXPECT_EQ(library.shaders.count("sub/a.glsl"), 1u);
    EXPECT_FLOAT_EQ((drawPicture<1, 1>(*upper)[1]), 1.0f);
    EXPECT_FLOAT_EQ((drawPicture<1, 1>(*nested)[2]), 1.0f);
}

TEST_F(ShaderLibraryTest, SavingALoadedFileSwapsTheProgramUnderEveryHolder) {
    write("scene.glsl", flatColorSource(1, 0, 0));
    const auto pass = library.load("scene.glsl");
    const auto otherPass = library.load("scene.glsl");
    ASSERT_TRUE(pass);
    library.watcher.arm();
    const std::uint32_t old = pass->program;

    write("scene.glsl", flatColorSource(0, 1, 0));
    ASSERT_TRUE(reloadUntil([&] { return pass->program != old; }));
    EXPECT_EQ(library.shaders.at("scene.glsl"), pass) << "the entry keeps its Shader";
    EXPECT_EQ(otherPass->program, pass->program);
    EXPECT_FALSE(isProgram(old));
    EXPECT_FLOAT_EQ((drawPicture<1, 1>(*otherPass)[1]), 1.0f);

    // A broken save replaces the working program and shows the log; the next save repairs it.
    const std::uint32_t working = pass->program;
    write("scene.glsl", kErrorSource);
    ASSERT_TRUE(reloadUntil([&] { return pass->program != working; }));
    EXPECT_FALSE(linked(pass->program));
    EXPECT_FALSE(isProgram(working));
    const auto boxes = takeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Test");
    const std::uint32_t broken = pass->program;
    write("scene.glsl", flatColorSource(0, 0, 1));
    ASSERT_TRUE(reloadUntil([&] { return pass->program != broken; }));
    EXPECT_TRUE(linked(pass->program));
    EXPECT_FLOAT_EQ((drawPicture<1, 1>(*pass)[2]), 1.0f);
}

TEST_F(ShaderLibraryTest, RenamingASavedCopyOverALoadedFileReloadsIt) {
    write("scene.glsl", flatColorSource(1, 0, 0));
    const auto pass = library.load("scene.glsl");
    ASSERT_TRUE(pass);
    library.watcher.arm();
    const std::uint32_t old = pass->program;

    write("scene.glsl.tmp", flatColorSource(0, 1, 0));
    std::filesystem::rename(folder.path() / "scene.glsl.tmp", folder.path() / "scene.glsl");
    ASSERT_TRUE(reloadUntil([&] { return pass->program != old; }));
    EXPECT_FLOAT_EQ((drawPicture<1, 1>(*pass)[1]), 1.0f);
    EXPECT_EQ(library.shaders.size(), 1u) << "the temporary name was never loaded";
}

TEST_F(ShaderLibraryTest, EditsBeforeArmingAndChangesOtherThanFinishedSavesChangeNothing) {
    write("open.glsl", flatColorSource(1, 0, 0));
    write("gone.glsl", flatColorSource(1, 0, 0));
    write("touched.glsl", flatColorSource(1, 0, 0));
    const auto open = library.load("open.glsl");
    const auto gone = library.load("gone.glsl");
    const auto touched = library.load("touched.glsl");
    ASSERT_TRUE(open && gone && touched);
    const std::uint32_t openProgram = open->program, goneProgram = gone->program,
                        touchedProgram = touched->program;
    write("touched.glsl", flatColorSource(0, 1, 0));  // before the watch is armed: not seen
    loadMarkerAndArm();

    write("never-loaded.glsl", flatColorSource(0, 1, 0));
    std::filesystem::remove(folder.path() / "gone.glsl");
    ASSERT_EQ(chmod((folder.path() / "touched.glsl").c_str(), 0600), 0);
    // A save still being written: the file is rewritten but not closed yet.
    std::ofstream writer(folder.path() / "open.glsl", std::ios::binary | std::ios::trunc);
    writer << flatColorSource(0, 1, 0) << std::flush;
    settleWithMarker();

    EXPECT_EQ(open->program, openProgram);
    EXPECT_EQ(gone->program, goneProgram);
    EXPECT_EQ(touched->program, touchedProgram);
    EXPECT_EQ(library.shaders.size(), 4u);
    EXPECT_EQ(library.shaders.count("never-loaded.glsl"), 0u);

    writer.close();
    ASSERT_TRUE(reloadUntil([&] { return open->program != openProgram; })) << "closing finishes the save";
    EXPECT_FLOAT_EQ((drawPicture<1, 1>(*open)[1]), 1.0f);
}

TEST_F(ShaderLibraryTest, FileInASubFolderMatchesOnlyItsRelativeName) {
    std::filesystem::create_directory(folder.path() / "sub");
    write("x.glsl", flatColorSource(1, 0, 0));
    write("sub/x.glsl", flatColorSource(1, 0, 0));
    const auto top = library.load("x.glsl");
    const auto nested = library.load("sub/x.glsl");
    ASSERT_TRUE(top && nested);
    const std::uint32_t topProgram = top->program, nestedProgram = nested->program;
    loadMarkerAndArm();

    write("sub/x.glsl", flatColorSource(0, 1, 0));
    ASSERT_TRUE(reloadUntil([&] { return nested->program != nestedProgram; }));
    settleWithMarker();
    EXPECT_EQ(top->program, topProgram);

    // A sub-folder made while the watch runs is watched too.
    std::filesystem::create_directories(folder.path() / "later" / "deeper");
    write("later/deeper/y.glsl", flatColorSource(1, 0, 0));
    settleWithMarker();
    const auto late = library.load("later/deeper/y.glsl");
    ASSERT_TRUE(late);
    const std::uint32_t lateProgram = late->program;
    write("later/deeper/y.glsl", flatColorSource(0, 1, 0));
    EXPECT_TRUE(reloadUntil([&] { return late->program != lateProgram; }));
}

TEST(ShaderLibraryFolderTest, MissingFolderLeavesTheWatcherInertWithoutAMessage) {
    takeMessageBoxes();
    ShaderLibrary library("/nonexistent-qv-folder/");
    EXPECT_EQ(library.watcher.state(), WatcherState::Inert);
    library.watcher.arm();
    EXPECT_EQ(library.watcher.state(), WatcherState::Inert);
    library.reloadChanged();
    EXPECT_EQ(library.load("test.glsl"), nullptr);
    EXPECT_TRUE(takeMessageBoxes().empty());

    // The process-wide library opened the folder relative to the current one at start.
    EXPECT_EQ(shaderLibrary.watcher.state() == WatcherState::Inert, !std::filesystem::is_directory("resources"));
}

TEST(ShaderLibraryFolderTest, RemovingTheWatchedFolderEndsTheWatch) {
    auto folder = std::make_unique<TempFolder>();
    ShaderLibrary library(folder->text());
    library.watcher.arm();
    EXPECT_EQ(library.watcher.state(), WatcherState::Waiting);
    folder.reset();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (library.watcher.state() == WatcherState::Waiting && std::chrono::steady_clock::now() < deadline) {
        library.reloadChanged();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(library.watcher.state(), WatcherState::Idle);
}

}  // namespace
