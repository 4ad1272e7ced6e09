// Shader programs, the library and hot reload, in the headless context on temporary folders.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <random>
#include <thread>

#include "gl/gl_helpers.h"
#include "platform/headless/headless.h"
#include "shaders/shader_library.h"
#include "tests/gl/gl_test_context.h"
#include "tests/support/scratch_folder.h"

namespace {

using platform::headless::takeMessageBoxes;

void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string flatColor(float red, float green, float blue) {
    return "#version 450\nout vec4 color;\nvoid main() { color = vec4(" + std::to_string(red) + ", " +
           std::to_string(green) + ", " + std::to_string(blue) + ", 1.0); }\n";
}

// Mesa caches sources that built and reports no log for them again: a comment unique to the run
// makes it really compile, so the warning about the reserved "__" shows every time.
std::string warningSource() {
    static std::mt19937_64 random(std::random_device{}() + static_cast<std::uint64_t>(getpid()));
    return "#version 450\n// " + std::to_string(random()) +
           "\nout vec4 color;\nvoid main() { float a__b = 0.5; color = vec4(a__b); }\n";
}

const std::string kErrorSource = "#version 450\nout vec4 color;\nvoid main() { color = vec4(1.0) }\n";

bool isProgram(std::uint32_t program) {
    using IsProgram = GLboolean(QV_GL_CALL*)(GLuint);
    static const auto glIsProgram = reinterpret_cast<IsProgram>(platform::getGlProcAddress("glIsProgram"));
    return glIsProgram(program) == GL_TRUE;
}

bool linked(std::uint32_t program) {
    GLint status = 0;
    glApi.glGetProgramiv(program, kGlLinkStatus, &status);
    return status == GL_TRUE;
}

// Draws the program over an 8 x 4 float target with `frame` at location 0; RGBA, bottom row first.
std::vector<float> draw(const Shader& shader, std::array<float, 4> frame = {}) {
    static Texture texture = createTexture(8, 4, kTextureFormatRGBA32F, nullptr, false, 0);
    static RenderTarget target;
    makeRenderTarget(target, static_cast<std::uint32_t>(texture.id));
    glApi.glBindFramebuffer(kGlFramebuffer, target.framebuffer);
    glViewport(0, 0, 8, 4);
    glApi.glUseProgram(shader.program);
    glApi.glUniform4fv(0, 1, frame.data());
    drawFullScreenRect();
    std::vector<float> pixels(8 * 4 * 4);
    glReadPixels(0, 0, 8, 4, GL_RGBA, GL_FLOAT, pixels.data());
    glApi.glUseProgram(0);  // a program still in use outlives its deletion
    glApi.glBindFramebuffer(kGlFramebuffer, 0);
    return pixels;
}

TEST(ShaderTest, AnyBuildLogIsShownUnchangedAndTheProgramIsKept) {
    takeMessageBoxes();
    const Shader warned(kGlFragmentShader, warningSource().c_str());
    const Shader failed(kGlFragmentShader, kErrorSource.c_str());
    const auto boxes = takeMessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, "Test");
    EXPECT_EQ(boxes[0].text, "0:4(15): warning: identifier `a__b' uses reserved `__' string\n");
    EXPECT_EQ(boxes[1].caption, "Test");
    EXPECT_NE(boxes[1].text.find("error"), std::string::npos) << boxes[1].text;
    EXPECT_EQ(draw(warned)[0], 0.5f) << "a build with warnings is used normally";
    EXPECT_TRUE(isProgram(failed.program) && !linked(failed.program)) << "the failed program is kept";
}

TEST(ShaderTest, ReadFileGivesEveryByteOrNoValueForMissingEmptyAndUnreadableFiles) {
    ScratchFolder folder{"shaders"};
    const std::string bytes("one\r\ntwo\0three\r\n", 16);
    writeFile(folder.path / "crlf.glsl", bytes);
    writeFile(folder.path / "empty.glsl", "");
    std::filesystem::create_directory(folder.path / "folder.glsl");
    EXPECT_EQ(readFile(folder.path / "crlf.glsl"), bytes);
    EXPECT_FALSE(readFile(folder.path / "missing.glsl"));
    EXPECT_FALSE(readFile(folder.path / "empty.glsl"));
    EXPECT_FALSE(readFile(folder.path / "folder.glsl"));
}

TEST(ShaderTest, ResourceShadersBuildWithoutALogAndTheSceneMoves) {
    takeMessageBoxes();
    for (const char* name : {"test.glsl", "fbtest.glsl", "dither.glsl", "blend.glsl", "blur.glsl"}) {
        const auto source = readFile(std::filesystem::path(QV_RESOURCE_DIR) / name);
        ASSERT_TRUE(source) << name;
        const Shader shader(kGlFragmentShader, source->c_str());
        EXPECT_TRUE(linked(shader.program)) << name;
        EXPECT_TRUE(takeMessageBoxes().empty()) << name;
        if (std::string_view(name) != "test.glsl") continue;
        const auto start = draw(shader, {8, 4, 1.7f, 0.0f});
        EXPECT_NE(start, draw(shader, {8, 4, 1.7f, 3.0f})) << "the picture changes over time";
        EXPECT_NE(start[0], start[start.size() - 4]) << "and across the screen";
    }
}

// A library on its own temporary folder, with a marker file to wait for: once the marker's
// save is handled, every change made before it has been handled too.
class ShaderLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        takeMessageBoxes();
        write("marker.glsl", flatColor(0, 0, 0));
    }
    void write(const std::string& name, std::string_view bytes) { writeFile(folder.path / name, bytes); }

    // Reloads once per "frame" until `done` holds, for at most five seconds.
    bool reloadUntil(const std::function<bool()>& done) {
        for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
             std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(std::chrono::milliseconds(5))) {
            library.reloadChanged();
            if (done()) return true;
        }
        return false;
    }
    bool reloaded(const std::shared_ptr<Shader>& shader) {
        const std::uint32_t before = shader->program;
        return reloadUntil([&] { return shader->program != before; });
    }
    void armWithMarker() {
        marker = library.load("marker.glsl");
        library.watcher.arm();
        ASSERT_EQ(library.watcher.state(), WatcherState::Waiting);
    }
    void settle() {
        write("marker.glsl", flatColor(0, 0, static_cast<float>(++markerSaves) / 100));
        ASSERT_TRUE(reloaded(marker)) << "the marker's save was not seen";
    }

    ScratchFolder folder{"shaders"};
    ShaderLibrary library{folder.path.native() + '/'};
    std::shared_ptr<Shader> marker;
    int markerSaves = 0;
};

TEST_F(ShaderLibraryTest, LoadReadsTheFileEveryTimeButCompilesOnlyTheFirstTime) {
    write("a.glsl", warningSource());
    const auto first = library.load("a.glsl");
    ASSERT_TRUE(first);
    const std::uint32_t program = first->program;
    write("a.glsl", warningSource());  // a new text: compiling it would show another box
    EXPECT_EQ(library.load("a.glsl"), first);
    EXPECT_EQ(first->program, program);
    EXPECT_EQ(takeMessageBoxes().size(), 1u);

    write("a.glsl", "");
    EXPECT_EQ(library.load("a.glsl"), nullptr) << "an empty file, although the entry exists";
    EXPECT_EQ(library.load("missing.glsl"), nullptr);
    EXPECT_EQ(library.shaders.size(), 1u);
    EXPECT_EQ(library.shaders.at("a.glsl"), first);
}

TEST_F(ShaderLibraryTest, NamesAreExactKeysKeepingCaseAndSubFolders) {
    std::filesystem::create_directory(folder.path / "sub");
    write("a.glsl", flatColor(1, 0, 0));
    write("A.glsl", flatColor(0, 1, 0));
    write("sub/a.glsl", flatColor(0, 0, 1));
    const auto lower = library.load("a.glsl"), upper = library.load("A.glsl"), nested = library.load("sub/a.glsl");
    ASSERT_TRUE(lower && upper && nested);
    EXPECT_NE(lower->program, upper->program);
    EXPECT_EQ(library.shaders.size(), 3u);
    EXPECT_EQ(draw(*upper)[1], 1.0f);
    EXPECT_EQ(draw(*nested)[2], 1.0f);
}

TEST_F(ShaderLibraryTest, SavingALoadedFileSwapsTheProgramUnderEveryHolder) {
    write("scene.glsl", flatColor(1, 0, 0));
    const auto pass = library.load("scene.glsl"), otherPass = library.load("scene.glsl");
    library.watcher.arm();
    const std::uint32_t first = pass->program;
    write("scene.glsl", flatColor(0, 1, 0));
    ASSERT_TRUE(reloaded(pass));
    EXPECT_EQ(library.shaders.at("scene.glsl"), pass);
    EXPECT_EQ(draw(*otherPass)[1], 1.0f);
    EXPECT_FALSE(isProgram(first));

    // A broken save replaces the working program and shows the log.
    const std::uint32_t working = pass->program;
    write("scene.glsl", kErrorSource);
    ASSERT_TRUE(reloaded(pass));
    EXPECT_FALSE(linked(otherPass->program));
    EXPECT_FALSE(isProgram(working));
    EXPECT_EQ(takeMessageBoxes().size(), 1u);

    // An editor that saves a copy and renames it over the file repairs it.
    write("scene.glsl~", flatColor(0, 0, 1));
    std::filesystem::rename(folder.path / "scene.glsl~", folder.path / "scene.glsl");
    ASSERT_TRUE(reloaded(pass));
    EXPECT_EQ(draw(*otherPass)[2], 1.0f);
    EXPECT_EQ(library.shaders.size(), 1u);
}

// Making mode: a broken save keeps the working program and says why without a box; the next
// good save takes over.
TEST_F(ShaderLibraryTest, KeepingWorkingProgramsABrokenSaveChangesNothingOnScreen) {
    library.keepWorkingPrograms = true;
    write("scene.glsl", flatColor(1, 0, 0));
    const auto pass = library.load("scene.glsl");
    armWithMarker();
    const std::uint32_t working = pass->program;

    write("scene.glsl", kErrorSource);
    settle();
    EXPECT_EQ(pass->program, working);
    EXPECT_TRUE(isProgram(working));
    EXPECT_EQ(draw(*pass)[0], 1.0f) << "the last working program still draws";
    ASSERT_TRUE(library.buildProblem());
    // The error on line 3 as an editor jumps to it: the file's path, line and column.
    const std::string expectedStart = (folder.path / "scene.glsl").string() + ":3:";
    EXPECT_EQ(library.buildProblem()->rfind(expectedStart, 0), 0u) << *library.buildProblem();
    EXPECT_NE(library.buildProblem()->find(": error"), std::string::npos) << *library.buildProblem();

    write("scene.glsl", "");
    settle();
    EXPECT_EQ(pass->program, working) << "an empty save builds nothing";
    ASSERT_TRUE(library.buildProblem());
    EXPECT_NE(library.buildProblem()->find("scene.glsl: the file is empty"), std::string::npos)
        << *library.buildProblem();

    write("scene.glsl", flatColor(0, 1, 0));
    ASSERT_TRUE(reloaded(pass));
    EXPECT_EQ(draw(*pass)[1], 1.0f);
    EXPECT_FALSE(isProgram(working));
    EXPECT_FALSE(library.buildProblem()) << "fixed";
    EXPECT_TRUE(takeMessageBoxes().empty()) << "no box in making mode";
}

TEST(ShaderLogTest, TheDriversPositionsBecomeFileLineAndColumn) {
    EXPECT_EQ(logAtFilePositions("resources/test.glsl",
                                 "0:948(17): error: syntax error, unexpected '}'\n0:3(1): warning: x\nlinker said no"),
              "resources/test.glsl:948:17: error: syntax error, unexpected '}'\n"
              "resources/test.glsl:3:1: warning: x\nlinker said no");
    for (const char* other : {"", "error: no position", "0:12: error: no column", "a:1(2): error: x", "0:1(2) error"}) {
        EXPECT_EQ(logAtFilePositions("f.glsl", other), other);
    }
}

TEST_F(ShaderLibraryTest, KeepingWorkingProgramsAFileBrokenFromTheStartHoldsItsFailedProgram) {
    library.keepWorkingPrograms = true;
    write("scene.glsl", kErrorSource);
    const auto pass = library.load("scene.glsl");
    ASSERT_TRUE(pass);
    EXPECT_NE(pass->program, Shader::kNoProgram) << "nothing better to keep";
    EXPECT_TRUE(library.buildProblem());
    EXPECT_TRUE(takeMessageBoxes().empty());
}

TEST_F(ShaderLibraryTest, EditsBeforeArmingAndChangesOtherThanFinishedSavesChangeNothing) {
    for (const char* name : {"open.glsl", "gone.glsl", "early.glsl"}) write(name, flatColor(1, 0, 0));
    const auto open = library.load("open.glsl"), gone = library.load("gone.glsl"), early = library.load("early.glsl");
    const std::uint32_t programs[] = {open->program, gone->program, early->program};
    write("early.glsl", flatColor(0, 1, 0));
    armWithMarker();

    write("never-loaded.glsl", flatColor(0, 1, 0));
    std::filesystem::remove(folder.path / "gone.glsl");
    ASSERT_EQ(chmod((folder.path / "early.glsl").c_str(), 0600), 0);
    std::ofstream writer(folder.path / "open.glsl", std::ios::binary | std::ios::trunc);
    writer << flatColor(0, 1, 0) << std::flush;  // a save still being written
    settle();
    EXPECT_EQ(open->program, programs[0]);
    EXPECT_EQ(gone->program, programs[1]);
    EXPECT_EQ(early->program, programs[2]);
    EXPECT_EQ(library.shaders.count("never-loaded.glsl"), 0u);

    writer.close();
    ASSERT_TRUE(reloaded(open)) << "closing the file finishes the save";
    EXPECT_EQ(draw(*open)[1], 1.0f);
}

TEST_F(ShaderLibraryTest, FileInASubFolderMatchesOnlyItsRelativeName) {
    std::filesystem::create_directory(folder.path / "sub");
    write("x.glsl", flatColor(1, 0, 0));
    write("sub/x.glsl", flatColor(1, 0, 0));
    const auto top = library.load("x.glsl"), nested = library.load("sub/x.glsl");
    const std::uint32_t topProgram = top->program;
    armWithMarker();
    write("sub/x.glsl", flatColor(0, 1, 0));
    ASSERT_TRUE(reloaded(nested));
    settle();
    EXPECT_EQ(top->program, topProgram);

    // Sub-folders made while the watch runs are watched too.
    std::filesystem::create_directories(folder.path / "new" / "deeper");
    write("new/deeper/y.glsl", flatColor(1, 0, 0));
    settle();
    const auto late = library.load("new/deeper/y.glsl");
    write("new/deeper/y.glsl", flatColor(0, 1, 0));
    EXPECT_TRUE(reloaded(late));
}

TEST(ShaderLibraryFolderTest, WithoutTheFolderTheWatcherIsInertAndSaysNothing) {
    takeMessageBoxes();
    ShaderLibrary library("/nonexistent-qv-folder/");
    library.watcher.arm();
    EXPECT_EQ(library.watcher.state(), WatcherState::Inert);
    library.reloadChanged();
    EXPECT_EQ(library.load("test.glsl"), nullptr);
    EXPECT_TRUE(takeMessageBoxes().empty());
    // The process-wide library opened the resource folder of the current folder at start.
    EXPECT_EQ(shaderLibrary.watcher.state() == WatcherState::Inert, !std::filesystem::is_directory("resources"));

    // A folder that disappears refuses the next request: the watch goes idle.
    auto gone = std::make_unique<ScratchFolder>("shaders");
    ShaderLibrary orphan(gone->path.native() + '/');
    orphan.watcher.arm();
    gone.reset();
    for (int frame = 0; frame < 1000 && orphan.watcher.state() == WatcherState::Waiting; ++frame) {
        orphan.reloadChanged();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(orphan.watcher.state(), WatcherState::Idle);
}

}  // namespace
