// The scene pass against a real program: the uniforms read back and the rectangle drawn.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "gl/gl_api.h"
#include "gl/gl_helpers.h"
#include "gl/screen_size.h"
#include "show/scene_pass.h"
#include "tests/gl/gl_test_context.h"

namespace {

// Declares every uniform of the scene program and uses each, so that none is optimised away.
// The picture is (1, anything, flash amount, 4).
constexpr const char* kSceneProgram = R"(#version 450
layout(location = 0) uniform vec4 frame;
layout(location = 1) uniform sampler2D unit0;
layout(location = 2) uniform sampler2D unit1;
layout(location = 3) uniform sampler2D unit2;
uniform sampler2D scene_data;
layout(rgba32f) readonly uniform image2D scene_image;
uniform ivec4 scene_part;
uniform ivec4 meshes_info[32];
uniform ivec4 meshes_surface[32];
uniform mat4 meshes_tx[32];
uniform mat4 meshes_itx[32];
uniform mat4 camera;
uniform vec4 flash;
uniform vec4 light_positions[4];
uniform vec4 light_colors[4];
out vec4 colour;
void main() {
    float s = frame.x + texture(scene_data, vec2(0.5)).x + imageLoad(scene_image, ivec2(0)).x + texture(unit0, vec2(0.5)).x
            + texture(unit1, vec2(0.5)).x + texture(unit2, vec2(0.5)).x + camera[3][0];
    for (int i = 0; i < 32; ++i) {
        if (i > scene_part.z) break;
        s += float(meshes_info[i].w + meshes_surface[i].x) + meshes_tx[i][3][0] + meshes_itx[i][0][0];
    }
    for (int i = 0; i < 4; ++i) s += light_positions[i].x + light_colors[i].x;
    colour = vec4(1.0, s, flash.w, 4.0);
}
)";

using GetUniformiv = void(QV_GL_CALL*)(GLuint, GLint, GLint*);

struct Program {
    Shader shader;
    GetUniformiv getUniformiv = nullptr;

    explicit Program(const char* source = kSceneProgram) {
        shader = buildShaderQuietly(kGlFragmentShader, source).shader;
        getUniformiv = reinterpret_cast<GetUniformiv>(platform::getGlProcAddress("glGetUniformiv"));
    }
    GLint location(const char* name) const { return glApi.glGetUniformLocation(shader.program, name); }
    template <std::size_t N>
    std::array<float, N> floats(GLint at) const {
        std::array<float, N> values{};
        glApi.glGetUniformfv(shader.program, at, values.data());
        return values;
    }
    template <std::size_t N>
    std::array<float, N> floats(const char* name) const { return floats<N>(location(name)); }
    template <std::size_t N>
    std::array<GLint, N> ints(GLint at) const {
        std::array<GLint, N> values{};
        getUniformiv(shader.program, at, values.data());
        return values;
    }
    template <std::size_t N>
    std::array<GLint, N> ints(const char* name) const { return ints<N>(location(name)); }
};

// Meshes 0..2 with offsets 10i+1..10i+7, tree root -(10i+8) and transform k translating by (k, 0, 0);
// camera 0 unused, camera 1 with 1000 frames of which frame 900 is set; lights 0 and 1.
Scene makeScene() {
    Scene scene;
    const float data[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    scene.texture = createTexture(1, 1, kTextureFormatRGBA32F, data, false, 0);
    for (int i = 0; i < 3; ++i) {
        Mesh mesh;
        mesh.vertex_offset = 10 * i + 1;
        mesh.face_offset = 10 * i + 2;
        mesh.bvh_offset = 10 * i + 3;
        mesh.face_count = 10 * i + 4;
        mesh.surface0_offset = 10 * i + 5;
        mesh.surface1_offset = 10 * i + 6;
        mesh.tree_offset = 10 * i + 7;
        mesh.tree_root = -(10 * i + 8);
        for (int k = 0; k < 3; ++k) {
            Matrix4 m = kIdentityMatrix;
            m[12] = static_cast<float>(k);
            mesh.transforms.push_back(m);
        }
        scene.meshes.push_back(std::move(mesh));
    }
    scene.cameras.resize(2);
    Camera& camera = scene.cameras[1];
    camera.frames.resize(1000);
    camera.frames[900] = {{1, 2, 3}, {0, 0, 5}, {0, 2, 0}, 90.0f, {}};
    scene.lights.resize(2);
    scene.lights[1].position = {4, 5, 6};
    scene.lights[1].intensity = 2.0f;
    scene.lights[1].color = {0.5f, 1.0f, 1.5f, 0.0f};
    return scene;
}

TEST(SceneUniformsGlTest, SetsEveryUniformAndDraws) {
    Program program;
    ASSERT_NE(program.getUniformiv, nullptr);
    Scene scene = makeScene();
    scene.flash = {1, 1, 1, 0};

    constexpr int kSize = 4;
    std::vector<float> sentinel(kSize * kSize * 4, -7.0f);
    Texture target = createTexture(kSize, kSize, kTextureFormatRGBA32F, sentinel.data(), false, 0);
    RenderTarget renderTarget;
    makeRenderTarget(renderTarget, static_cast<std::uint32_t>(target.id));
    glViewport(0, 0, kSize, kSize);
    screenWidth = 320;
    screenHeight = 200;

    const ScenePart part = {1, 1, 2, 16.0f, {1, kCameraLight, -1, 9}, {0, 0, 0, 2.0f}, {0.25f, 0.5f, 0.75f, 2.0f}};
    ASSERT_TRUE(setSceneUniforms(scene, part, 15.0f, program.shader));
    EXPECT_EQ(scene.frame, 900);

    const std::array<float, 4> frame = program.floats<4>(0);
    EXPECT_EQ(frame[0], 320.0f);
    EXPECT_EQ(frame[1], 200.0f);
    EXPECT_NEAR(frame[2], 1.0f, 1e-6f);
    EXPECT_EQ(frame[3], 15.0f);
    EXPECT_EQ((program.ints<1>(1)), (std::array<GLint, 1>{0}));
    EXPECT_EQ((program.ints<1>(2)), (std::array<GLint, 1>{1}));
    EXPECT_EQ((program.ints<1>(3)), (std::array<GLint, 1>{2}));
    EXPECT_EQ((program.ints<1>("scene_data")), (std::array<GLint, 1>{3}));
    EXPECT_EQ((program.ints<1>("scene_image")), (std::array<GLint, 1>{kSceneImageUnit}));
    EXPECT_EQ((program.ints<4>("scene_part")), (std::array<GLint, 4>{1, 1, 2, 0x41800000}));

    EXPECT_EQ((program.ints<4>("meshes_info[0]")), (std::array<GLint, 4>{0, 0, 0, 0}));
    EXPECT_EQ((program.ints<4>("meshes_info[2]")), (std::array<GLint, 4>{21, 22, 23, 24}));
    EXPECT_EQ((program.ints<4>("meshes_surface[1]")), (std::array<GLint, 4>{15, 16, 0, 0}));
    // Frame 900 is past the three transforms: transform 2, translation by 2 in x.
    const Matrix4 shifted = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 2, 0, 0, 1};
    const Matrix4 shiftedBack = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -2, 0, 0, 1};
    EXPECT_EQ(program.floats<16>("meshes_tx[0]"), Matrix4{});
    EXPECT_EQ(program.floats<16>("meshes_itx[0]"), kIdentityMatrix);
    EXPECT_EQ(program.floats<16>("meshes_tx[2]"), shifted);
    EXPECT_EQ(program.floats<16>("meshes_itx[1]"), shiftedBack);

    // Camera frame 900: forward (0,0,1), right (-1,0,0), up' (0,1,0), position (1,2,3).
    EXPECT_EQ(program.floats<16>("camera"), (Matrix4{-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1}));
    EXPECT_EQ(program.floats<4>("flash"), (std::array<float, 4>{0.25f, 0.5f, 0.75f, 0.5f}));
    EXPECT_EQ(scene.flash, (Vector4{0.25f, 0.5f, 0.75f, 0.5f}));

    EXPECT_EQ(program.floats<4>("light_positions[0]"), (std::array<float, 4>{4, 5, 6, 1}));
    EXPECT_EQ(program.floats<4>("light_colors[0]"), (std::array<float, 4>{1, 2, 3, 1}));
    EXPECT_EQ(program.floats<4>("light_positions[1]"), (std::array<float, 4>{1, 3, 3, 1}));
    EXPECT_EQ(program.floats<4>("light_colors[1]"), (std::array<float, 4>{10, 10, 10, 1}));
    EXPECT_EQ(program.floats<4>("light_positions[3]"), (std::array<float, 4>{0, 0, 0, 0}));
    EXPECT_EQ(program.floats<4>("light_colors[3]"), (std::array<float, 4>{0, 0, 0, 0}));

    GLint active = 0, bound = 0, used = 0;
    glGetIntegerv(0x84E0 /* GL_ACTIVE_TEXTURE */, &active);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glGetIntegerv(0x8B8D /* GL_CURRENT_PROGRAM */, &used);
    EXPECT_EQ(active, 0x84C3);
    EXPECT_EQ(bound, scene.texture.id);
    using GetIntegeri = void(QV_GL_CALL*)(GLenum, GLuint, GLint*);
    const auto getIntegeri = reinterpret_cast<GetIntegeri>(platform::getGlProcAddress("glGetIntegeri_v"));
    GLint image = 0;
    getIntegeri(0x8F3A /* GL_IMAGE_BINDING_NAME */, kSceneImageUnit, &image);
    EXPECT_EQ(image, scene.texture.id) << "the scene texture is bound as an image too";
    EXPECT_EQ(static_cast<GLuint>(used), program.shader.program);

    std::array<float, 4> pixel{};
    glReadPixels(1, 2, 1, 1, GL_RGBA, GL_FLOAT, pixel.data());
    EXPECT_EQ(pixel[0], 1.0f) << "the rectangle was drawn with the program";
    EXPECT_EQ(pixel[2], 0.5f);
    EXPECT_EQ(pixel[3], 4.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    glApi.glUseProgram(0);
    glApi.glActiveTexture(kGlTexture0);
    glApi.glBindFramebuffer(kGlFramebuffer, 0);
}

// A program that reads only the frame vector, as a quick experiment does, still draws: the other
// fixed locations and the named uniforms it lacks are skipped without a GL error.
TEST(SceneUniformsGlTest, AProgramReadingOnlyTheFrameVectorDrawsWithoutAnError) {
    Program program(R"(#version 450
layout(location = 0) uniform vec4 frame;
out vec4 colour;
void main() { colour = vec4(frame.x / 640.0, 0.0, 0.0, 1.0); }
)");
    EXPECT_EQ(program.shader.activeFixedLocations, 1u);
    Scene scene = makeScene();
    Texture target = createTexture(4, 4, kTextureFormatRGBA32F, nullptr, false, 0);
    RenderTarget renderTarget;
    makeRenderTarget(renderTarget, static_cast<std::uint32_t>(target.id));
    glViewport(0, 0, 4, 4);
    screenWidth = 320;
    const ScenePart part = {1, 1, 2, 16.0f, {1, kCameraLight, -1, 9}, {0, 0, 0, 2.0f}, {0, 0, 0, 2.0f}};
    while (glGetError() != GL_NO_ERROR) {
    }
    ASSERT_TRUE(setSceneUniforms(scene, part, 5.0f, program.shader));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    std::array<float, 4> pixel{};
    glReadPixels(1, 1, 1, 1, GL_RGBA, GL_FLOAT, pixel.data());
    EXPECT_EQ(pixel[0], 0.5f) << "drawn with the frame vector set";
    glApi.glUseProgram(0);
    glApi.glActiveTexture(kGlTexture0);
    glApi.glBindFramebuffer(kGlFramebuffer, 0);
}

// The meshes' image as a program reads it: pixel (x, y) shows texel x of mesh y. Mesh 2 stands
// translated by 2 in x at frame 900 (its zero root box goes with it); mesh 0 is outside the part.
TEST(SceneUniformsGlTest, TheMeshesImageHoldsEachMeshsRowsAndBox) {
    Program program(R"(#version 450
layout(location = 0) uniform vec4 frame;
layout(rgba32f) readonly uniform image2D meshes_image;
out vec4 colour;
void main() { colour = imageLoad(meshes_image, ivec2(gl_FragCoord.xy)) + vec4(frame.x < 0.0 ? 1.0 : 0.0); }
)");
    Scene scene = makeScene();
    Texture target = createTexture(kMeshImageWidth, 3, kTextureFormatRGBA32F, nullptr, false, 0);
    RenderTarget renderTarget;
    makeRenderTarget(renderTarget, static_cast<std::uint32_t>(target.id));
    glViewport(0, 0, kMeshImageWidth, 3);
    const ScenePart part = {1, 1, 2, 16.0f, {1, -1, -1, -1}, {0, 0, 0, 2.0f}, {0, 0, 0, 2.0f}};
    ASSERT_TRUE(setSceneUniforms(scene, part, 15.0f, program.shader));
    std::vector<Vector4> texels(kMeshImageWidth * 3);
    glReadPixels(0, 0, kMeshImageWidth, 3, GL_RGBA, GL_FLOAT, texels.data());
    const auto at = [&](int mesh, int texel) { return texels[static_cast<std::size_t>(mesh * kMeshImageWidth + texel)]; };
    EXPECT_EQ(at(2, 0), (Vector4{1, 0, 0, -2})) << "world to mesh, first row";
    EXPECT_EQ(at(2, 2), (Vector4{0, 0, 1, 0}));
    EXPECT_EQ(at(2, 3), (Vector4{2, 0, 0, 1})) << "the world box's lowest corner";
    EXPECT_EQ(at(2, 4), (Vector4{2, 0, 0, 1}));
    EXPECT_EQ(at(0, 1), (Vector4{0, 1, 0, 0})) << "a mesh outside the part keeps the identity";
    EXPECT_EQ(at(0, 4), (Vector4{}));
    EXPECT_EQ(at(2, 5), (Vector4{21, 22, 27, -28})) << "the mesh's vertices, faces, trace tree and its root";
    EXPECT_EQ(at(1, 6), (Vector4{15, 16, 0, 0})) << "its surface values";

    // A later frame writes the same texture again: at frame 1 mesh 2 stands translated by 1.
    const std::int32_t image = scene.meshImage.id;
    ASSERT_TRUE(setSceneUniforms(scene, part, 1.0f / 60.0f, program.shader));
    glReadPixels(0, 0, kMeshImageWidth, 3, GL_RGBA, GL_FLOAT, texels.data());
    EXPECT_EQ(at(2, 0), (Vector4{1, 0, 0, -1}));
    EXPECT_EQ(scene.meshImage.id, image);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glApi.glUseProgram(0);
    glApi.glActiveTexture(kGlTexture0);
    glApi.glBindFramebuffer(kGlFramebuffer, 0);
}

}  // namespace
