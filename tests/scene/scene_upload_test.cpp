#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "gl/gl_api.h"
#include "scene/scene_loader.h"
#include "tests/gl/gl_test_context.h"
#include "tests/scene/scene_file_builder.h"

namespace {

using namespace scene_test;

// A scene with what the show needs: 24 meshes (the first a triangle), 5 cameras and 7 lights.
Bytes showSizedScene() {
    TestMesh triangle;
    triangle.faces = {{0, 1, 2, 0}};
    triangle.positions = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
    triangle.extras = {0.5f, 0.25f, 0.125f};
    triangle.surface0 = {{10, 11, 12, 13}};
    triangle.surface1 = {{14, 15, 16, 17}};
    std::vector<TestMesh> meshes(24);
    meshes[0] = triangle;
    Bytes file;
    putU32(file, 24);
    for (const TestMesh& mesh : meshes) putMesh(file, mesh);
    putU32(file, 5);
    for (int n = 0; n < 5; ++n) putCamera(file, {60, 0, 0, static_cast<float>(n)});
    putU32(file, 7);
    for (int n = 0; n < 7; ++n) putLight(file, {});
    return file;
}

std::filesystem::path writeTemporary(const char* name, const Bytes& bytes) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() / name;
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

TEST(LoadSceneTest, UploadsTheTexelsAsAnRgba32fTextureAndReplacesTheOldOne) {
    const std::filesystem::path path = writeTemporary("qv_scene_upload_test.vxs", showSizedScene());
    Scene scene;
    ASSERT_FALSE(loadScene(scene, path, 1024, discardTraceLine));
    ASSERT_NE(scene.texture.id, -1);
    EXPECT_EQ(scene.meshes.size(), 24u);
    EXPECT_EQ(scene.cameras.size(), 5u);
    EXPECT_EQ(scene.lights.size(), 7u);
    EXPECT_EQ(scene.cameras[4].position[0], 4.0f);

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
    const std::vector<float> firstMesh(texels.begin(), texels.begin() + 8 * 4);
    EXPECT_EQ(firstMesh, (std::vector<float>{1, 2, 3, 0.5f, 4, 5, 6, 0.25f, 7, 8, 9, 0.125f, 0, 1, 2, 0,
                                             1, 2, 3, 0, 7, 8, 9, 0, 10, 11, 12, 13, 14, 15, 16, 17}));
    EXPECT_EQ(texels[1024 * 1024 * 4 - 1], 0.0f);

    const GLuint old = static_cast<GLuint>(scene.texture.id);
    ASSERT_FALSE(loadScene(scene, path, 1024, discardTraceLine));
    EXPECT_EQ(scene.meshes.size(), 24u);
    EXPECT_NE(scene.texture.id, -1);
    EXPECT_TRUE(static_cast<GLuint>(scene.texture.id) == old || glIsTexture(old) == GL_FALSE)
        << "the texture held before is deleted";
    std::filesystem::remove(path);
}

TEST(LoadSceneTest, ARejectedFileLeavesTheSceneAsItWas) {
    Bytes small;
    putU32(small, 0);
    putU32(small, 0);
    putU32(small, 0);
    const std::filesystem::path path = writeTemporary("qv_scene_small_test.vxs", small);
    Scene scene;
    scene.cameras.resize(2);
    EXPECT_EQ(loadScene(scene, path, 1024, discardTraceLine).value_or(""),
              path.string() + ": the show needs at least 24 meshes, 5 cameras and 7 lights; the file has 0, 0 and 0");
    EXPECT_EQ(scene.texture.id, -1);
    EXPECT_EQ(scene.cameras.size(), 2u);
    std::filesystem::remove(path);
    EXPECT_EQ(loadScene(scene, path, 1024, discardTraceLine).value_or(""), path.string() + ": the file does not exist");
}

}  // namespace
