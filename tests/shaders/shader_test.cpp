#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

#include "platform/headless/headless.h"
#include "shaders/shader.h"
#include "tests/gl/gl_test_context.h"
#include "tests/shaders/shader_test_support.h"

namespace {

using namespace shadertest;
using platform::headless::takeMessageBoxes;

class ShaderTest : public ::testing::Test {
protected:
    void SetUp() override { takeMessageBoxes(); }
};

TEST_F(ShaderTest, BuildWithWarningsShowsTheLogUnchangedAndIsUsedNormally) {
    const std::string source = warningSource();
    const Shader shader(kGlFragmentShader, source.c_str());

    const auto boxes = takeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Test");
    EXPECT_NE(boxes[0].text.find("warning"), std::string::npos) << boxes[0].text;
    EXPECT_EQ(boxes[0].text, infoLogOf(shader.program)) << "the driver's log, with nothing added";
    EXPECT_TRUE(linked(shader.program));
    EXPECT_FLOAT_EQ((drawPicture<1, 1>(shader)[0]), 0.5f);
}

TEST_F(ShaderTest, BuildWithErrorsShowsTheLogAndKeepsTheFailedProgram) {
    const Shader shader(kGlFragmentShader, kErrorSource.c_str());

    const auto boxes = takeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Test");
    EXPECT_NE(boxes[0].text.find("error"), std::string::npos) << boxes[0].text;
    EXPECT_NE(shader.program, Shader::kNoProgram);
    EXPECT_TRUE(isProgram(shader.program));
    EXPECT_FALSE(linked(shader.program));
}

TEST_F(ShaderTest, MovingHandsTheProgramOverAndDeletesTheReplacedOneOnce) {
    const std::string red = flatColorSource(1, 0, 0), green = flatColorSource(0, 1, 0);
    Shader target(kGlFragmentShader, red.c_str());
    const std::uint32_t replaced = target.program;
    std::uint32_t moved = Shader::kNoProgram;
    {
        Shader first(kGlFragmentShader, green.c_str());
        moved = first.program;
        Shader second(std::move(first));
        EXPECT_EQ(first.program, Shader::kNoProgram);
        EXPECT_EQ(second.program, moved);

        target = std::move(second);
        EXPECT_EQ(target.program, moved);
        EXPECT_EQ(second.program, Shader::kNoProgram);
        EXPECT_FALSE(isProgram(replaced));
    }
    EXPECT_TRUE(isProgram(moved)) << "emptied sources delete nothing when destroyed";
    EXPECT_FLOAT_EQ((drawPicture<1, 1>(target)[1]), 1.0f);
    EXPECT_TRUE(takeMessageBoxes().empty());
}

TEST(ReadFileTest, ReturnsEveryByteAsStored) {
    TempFolder folder;
    const std::string bytes("line one\r\nline\0two\r\n", 20);
    writeFile(folder.path() / "crlf.glsl", bytes);
    EXPECT_EQ(readFile(folder.path() / "crlf.glsl"), bytes);
}

TEST(ReadFileTest, MissingEmptyOrUnreadableFilesGiveNoValue) {
    TempFolder folder;
    writeFile(folder.path() / "empty.glsl", "");
    std::filesystem::create_directory(folder.path() / "folder.glsl");
    EXPECT_FALSE(readFile(folder.path() / "missing.glsl"));
    EXPECT_FALSE(readFile(folder.path() / "empty.glsl"));
    EXPECT_FALSE(readFile(folder.path() / "folder.glsl"));
}

TEST_F(ShaderTest, EveryResourceShaderBuildsWithAnEmptyLog) {
    for (const char* name : {"test.glsl", "fbtest.glsl", "dither.glsl", "blend.glsl", "blur.glsl"}) {
        const auto source = readFile(std::filesystem::path(QV_RESOURCE_DIR) / name);
        ASSERT_TRUE(source) << name;
        const Shader shader(kGlFragmentShader, source->c_str());
        EXPECT_TRUE(linked(shader.program)) << name;
        EXPECT_EQ(infoLogOf(shader.program), "") << name;
        EXPECT_TRUE(takeMessageBoxes().empty()) << name;
    }
}

TEST_F(ShaderTest, ScenePictureVariesAcrossTheScreenAndOverTime) {
    const auto source = readFile(std::filesystem::path(QV_RESOURCE_DIR) / "test.glsl");
    ASSERT_TRUE(source);
    const Shader shader(kGlFragmentShader, source->c_str());
    const auto atStart = drawPicture<16, 9>(shader, {16, 9, 1.7f, 0.0f});
    const auto later = drawPicture<16, 9>(shader, {16, 9, 1.7f, 3.0f});
    EXPECT_NE(atStart, later);
    float darkest = 1.0f, brightest = 0.0f;
    for (std::size_t green = 1; green < atStart.size(); green += 4) {
        darkest = std::min(darkest, atStart[green]);
        brightest = std::max(brightest, atStart[green]);
    }
    EXPECT_GT(brightest - darkest, 0.2f) << "not a flat picture";
}

}  // namespace
