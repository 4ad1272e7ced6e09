#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "gl/gl_api.h"
#include "scene/scene_loader.h"
#include "tests/gl/gl_test_context.h"
#include "tests/scene/scene_file_builder.h"
#include "tests/support/scratch_folder.h"

namespace {

using namespace scene_test;

// What the show needs: 24 meshes (the first one a triangle), 5 cameras and 7 lights.
constexpr SceneNeeds kShowNeeds{24, 5, 7};

std::filesystem::path writeShowSizedScene(const std::filesystem::path& folder) {
    std::vector<TestMesh> meshes(24);
    meshes[0].faces = {{0, 1, 2, 0}};
    meshes[0].positions = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
    meshes[0].extras = {0.5f, 0.25f, 0.125f};
    meshes[0].surface0 = {{10, 11, 12, 13}};
    meshes[0].surface1 = {{14, 15, 16, 17}};
    Bytes file = meshesOnlyFile(meshes);
    file.resize(file.size() - 8);  // drop the empty camera and light lists
    putU32(file, 5);
    for (int n = 0; n < 5; ++n) putCamera(file, {60, 0, 0, static_cast<float>(n)});
    putU32(file, 7);
    for (int n = 0; n < 7; ++n) putLight(file, {});
    const std::filesystem::path path = folder / "scene.vxs";
    std::ofstream(path, std::ios::binary).write(file.data(), static_cast<std::streamsize>(file.size()));
    return path;
}

TEST(LoadSceneTest, UploadsTheTexelsAsAnRgba32fTextureAndReplacesTheOldOne) {
    const ScratchFolder scratch("scene_upload_test");
    const std::filesystem::path path = writeShowSizedScene(scratch.path);
    Scene scene;
    ASSERT_FALSE(loadScene(scene, path, 1024, kShowNeeds, discardTraceLine));
    ASSERT_NE(scene.texture.id, -1);
    EXPECT_EQ(scene.meshes.size(), 24u);
    EXPECT_EQ(scene.cameras.at(4).position[0], 4.0f);
    EXPECT_EQ(scene.lights.size(), 7u);

    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(scene.texture.id));
    GLint width = 0, height = 0, format = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    EXPECT_EQ(width, 1024);
    EXPECT_EQ(height, 1024);
    EXPECT_EQ(format, 0x8814);  // RGBA32F
    std::vector<float> texels(1024 * 1024 * 4, -1.0f);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_FLOAT, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    texels.resize(9 * 4);  // the triangle's block, then its trace tree's face entry: corner 0, face 0
    EXPECT_EQ(texels, (std::vector<float>{1, 2, 3, 0.5f, 4, 5, 6, 0.25f, 7, 8, 9, 0.125f, 0, 1, 2, 0, 1, 2, 3, 0,
                                          7, 8, 9, 0, 10, 11, 12, 13, 14, 15, 16, 17, 1, 2, 3, 0}));

    const GLuint old = static_cast<GLuint>(scene.texture.id);
    ASSERT_FALSE(loadScene(scene, path, 1024, kShowNeeds, discardTraceLine));
    EXPECT_NE(static_cast<GLuint>(scene.texture.id), old);
    EXPECT_EQ(glIsTexture(old), GL_FALSE) << "the texture held before is deleted";

    // A scene short of the show's needs is refused and leaves the scene as it was.
    Bytes small;
    for (int n = 0; n < 3; ++n) putU32(small, 0);
    std::ofstream(path, std::ios::binary).write(small.data(), static_cast<std::streamsize>(small.size()));
    const GLint current = scene.texture.id;
    EXPECT_EQ(loadScene(scene, path, 1024, kShowNeeds, discardTraceLine).value_or(""),
              path.string() + ": the show needs at least 24 meshes, 5 cameras and 7 lights; the file has 0, 0 and 0");
    EXPECT_EQ(scene.texture.id, current);
    EXPECT_EQ(scene.meshes.size(), 24u);
}

}  // namespace
