// Making mode's saved shaders, built and rehearsed in the worker context while the drawing context
// goes on drawing, then drawn by the drawing context. Headless contexts of one share group.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "app/making_canvas.h"
#include "app/shader_builds.h"
#include "show/show_resources.h"
#include "tests/gl/gl_test_context.h"
#include "tests/support/scratch_folder.h"

namespace {

// A scene program that paints one colour, `red` (0 to 255) its red.
std::string paintingProgram(int red) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "#version 450\nout vec4 colour;\nvoid main() { colour = vec4(%d.0 / 255.0, 0.5, 0.25, 1.0); }\n", red);
    return text;
}

class ShaderBuildsTest : public ::testing::Test {
protected:
    void SetUp() override {
        save(paintingProgram(10));
        library.keepWorkingPrograms = true;
        slot = library.load("test.glsl");
        ASSERT_TRUE(slot);
        shaderSlots.test = slot;  // the scene pass draws it, so the job rehearses it as the scene
        library.watcher.arm();
        startShaderBuilds(builds);
        ASSERT_TRUE(builds.offThread) << "no worker context";
        // The picture: a 1 x 1 canvas, as making mode's.
        MakingCanvas made;
        ASSERT_TRUE(makeMakingCanvas(made, 1, 1));
        canvas = made.framebuffer;
        glViewport(0, 0, 1, 1);
    }
    void TearDown() override { shaderSlots.test.reset(); }

    void save(const std::string& text) { std::ofstream(folder.path / "test.glsl", std::ios::binary) << text; }

    // The slot's program drawn by this (the drawing) context: the red of its picture.
    int drawnRed() {
        glApi.glBindFramebuffer(kGlFramebuffer, canvas);
        glApi.glUseProgram(slot->program);
        drawFullScreenRect();
        std::array<unsigned char, 4> pixel{};
        glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel.data());
        return pixel[0];
    }

    // Turns as making mode takes them, each drawing a picture, until a job's builds are in place.
    // Returns the reds drawn meanwhile; fails after ten seconds.
    std::vector<int> turnsUntilInstalled() {
        std::vector<int> reds;
        for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
             std::chrono::steady_clock::now() < end;) {
            if (reloadShadersIfChanged(builds, library)) return reds;
            reds.push_back(drawnRed());
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ADD_FAILURE() << "no build was put in place";
        return reds;
    }

    ScratchFolder folder{"shader_builds"};
    ShaderLibrary library{folder.path.native() + '/'};
    std::shared_ptr<Shader> slot;
    ShaderBuilds builds;
    GLuint canvas = 0;
};

TEST_F(ShaderBuildsTest, OldProgramDrawsUntilTheNewOneIsBuiltThenTheNewOneDraws) {
    ASSERT_EQ(drawnRed(), 10);
    // Every save deletes the program it replaces, linked in a worker context and drawn here: the
    // driver crashed by the third save when that happened while the worker context lived.
    for (const int red : {60, 120, 180, 240}) {
        const int before = drawnRed();
        save(paintingProgram(red));
        const std::vector<int> reds = turnsUntilInstalled();
        for (const int drawn : reds) EXPECT_EQ(drawn, before) << "a picture while " << red << " was building";
        EXPECT_EQ(drawnRed(), red) << "the drawing context draws the program built in the worker context";
        EXPECT_TRUE(library.failedBuilds.empty());
    }
}

TEST_F(ShaderBuildsTest, AFailedBuildKeepsTheWorkingProgramAndNamesTheFileAndLine) {
    save("#version 450\nout vec4 colour;\nvoid main() { colour = vec4(1.0) }\n");
    turnsUntilInstalled();
    EXPECT_EQ(drawnRed(), 10);
    const std::optional<std::string> problem = library.buildProblem();
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("test.glsl:3:"), std::string::npos) << *problem;
    save(paintingProgram(90));
    turnsUntilInstalled();
    EXPECT_EQ(drawnRed(), 90);
    EXPECT_FALSE(library.buildProblem());
}

}  // namespace
