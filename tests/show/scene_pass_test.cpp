// The arithmetic of the scene pass, without OpenGL.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "show/scene_pass.h"
#include "show/timeline.h"

namespace {

constexpr Matrix4 kZeroMatrix{};

// The scene records keep their poses as three floats in an array.
using Pose3 = std::array<float, 3>;

// A camera whose frame k sits at (k, 0, 0), looks along +z, has up (0, k, 0) and fov k.
Camera cameraWithFrames(int count) {
    Camera camera;
    camera.position = {-1.0f, -2.0f, -3.0f};
    camera.fov = 45.0f;
    camera.frames.resize(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) {
        const float f = static_cast<float>(k);
        camera.frames[static_cast<std::size_t>(k)] = {{f, 0, 0}, {0, 0, 1}, {0, f, 0}, f, {7, 7, 7, 7, 7, 7}};
    }
    return camera;
}

// A translation by (k, 2k, 3k) for transform k.
Mesh meshWithTransforms(int count) {
    Mesh mesh;
    for (int k = 0; k < count; ++k) {
        Matrix4 m = kIdentityMatrix;
        m[12] = static_cast<float>(k);
        m[13] = 2.0f * k;
        m[14] = 3.0f * k;
        mesh.transforms.push_back(m);
    }
    return mesh;
}

ScenePart partWithFades(float duration, float fadeInLength, float fadeOutLength) {
    return {0, 0, 0, duration, {-1, -1, -1, -1}, {0.1f, 0.2f, 0.3f, fadeInLength}, {0.7f, 0.8f, 0.9f, fadeOutLength}};
}

TEST(ScenePartVectorTest, OpeningPartStartsWithItsIntegerVector) {
    std::array<std::int32_t, 4> head{};
    std::memcpy(head.data(), &timeline[0], sizeof head);
    const std::array<std::int32_t, 4> expected = {3, 16, 19, 1102053376};
    EXPECT_EQ(head, expected);
    EXPECT_EQ(scenePartVector(timeline[0]), expected);
}

TEST(FrameValuesTest, FrameIndexTruncatesSixtiethsTowardZero) {
    EXPECT_EQ(sceneFrameIndex(1.0f), 60);
    EXPECT_EQ(sceneFrameIndex(0.0166f), 0);
    EXPECT_EQ(sceneFrameIndex(0.0f), 0);
    EXPECT_EQ(sceneFrameIndex(2.5f), 150);
    EXPECT_EQ(sceneFrameIndex(-0.01f), 0) << "-0.6 truncates to 0, not -1";
    EXPECT_EQ(sceneFrameIndex(-0.02f), -1);
    EXPECT_EQ(sceneFrameIndex(1e30f), std::numeric_limits<std::int32_t>::max());
    EXPECT_LT(sceneFrameIndex(std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST(FrameValuesTest, FocalFactorAndFrameVector) {
    EXPECT_NEAR(focalFactor(90.0f), 1.0f, 1e-6f);
    EXPECT_NEAR(focalFactor(60.0f), 1.7320508f, 1e-6f);
    const Vector4 v = frameVector(320, 200, 90.0f, 1.5f);
    EXPECT_EQ(v[0], 320.0f);
    EXPECT_EQ(v[1], 200.0f);
    EXPECT_NEAR(v[2], 1.0f, 1e-6f);
    EXPECT_EQ(v[3], 1.5f);
}

TEST(PartFlashTest, FadeInIsStrictAndFallsFromOne) {
    const ScenePart part = partWithFades(16.0f, 2.0f, 2.0f);
    const Vector4 current = {1, 1, 1, 0.25f};
    EXPECT_EQ(partFlash(part, 0.0f, current), (Vector4{0.1f, 0.2f, 0.3f, 1.0f}));
    EXPECT_EQ(partFlash(part, 1.0f, current), (Vector4{0.1f, 0.2f, 0.3f, 0.5f}));
    EXPECT_EQ(partFlash(part, 2.0f, current), current);
}

TEST(PartFlashTest, FadeOutIsStrictAndRisesToOne) {
    const ScenePart part = partWithFades(16.0f, 2.0f, 2.0f);
    const Vector4 current = {1, 1, 1, 0.25f};
    EXPECT_EQ(partFlash(part, 15.0f, current), (Vector4{0.7f, 0.8f, 0.9f, 0.5f}));
    EXPECT_EQ(partFlash(part, 16.0f, current), (Vector4{0.7f, 0.8f, 0.9f, 1.0f}));
    EXPECT_EQ(partFlash(part, 14.0f, current), current);
    EXPECT_EQ(partFlash(part, 8.0f, current), current);
}

TEST(PartFlashTest, FadeInWinsWhereBothFadesCoverTheTime) {
    const ScenePart part = partWithFades(3.0f, 2.0f, 2.0f);  // fade-out from 1 s, fade-in until 2 s
    EXPECT_EQ(partFlash(part, 1.5f, {}), (Vector4{0.1f, 0.2f, 0.3f, 0.25f}));
    EXPECT_EQ(partFlash(part, 2.5f, {}), (Vector4{0.7f, 0.8f, 0.9f, 0.75f}));
}

TEST(AnimationTest, CameraTakesExistingFramesAndOtherwiseKeepsItsPose) {
    Camera camera = cameraWithFrames(100);
    applyCameraFrame(camera, -1);
    EXPECT_EQ(camera.position, (Pose3{-1, -2, -3})) << "no frame -1: the loaded pose stays";

    applyCameraFrame(camera, 5);
    EXPECT_EQ(camera.position, (Pose3{5, 0, 0}));
    EXPECT_EQ(camera.direction, (Pose3{0, 0, 1}));
    EXPECT_EQ(camera.up, (Pose3{0, 5, 0}));
    EXPECT_EQ(camera.fov, 5.0f);

    applyCameraFrame(camera, 99);
    applyCameraFrame(camera, sceneFrameIndex(2.0f));  // frame 120 was not recorded
    EXPECT_EQ(camera.position, (Pose3{99, 0, 0}));
    EXPECT_EQ(camera.fov, 99.0f);
}

TEST(AnimationTest, MeshTransformIsClampedToTheRecordedFrames) {
    Mesh mesh = meshWithTransforms(100);
    applyMeshFrame(mesh, 100);
    EXPECT_EQ(mesh.transform, mesh.transforms[99]);
    applyMeshFrame(mesh, 37);
    EXPECT_EQ(mesh.transform, mesh.transforms[37]);
    applyMeshFrame(mesh, 5000);
    EXPECT_EQ(mesh.transform, mesh.transforms[99]);
    applyMeshFrame(mesh, -3);
    EXPECT_EQ(mesh.transform, mesh.transforms[0]);

    Mesh single = meshWithTransforms(1);
    single.transform[0] = 4.0f;  // a single transform is never re-read
    applyMeshFrame(single, 0);
    EXPECT_EQ(single.transform[0], 4.0f);
    Mesh none;
    applyMeshFrame(none, 10);
    EXPECT_EQ(none.transform, kIdentityMatrix);
}

TEST(CameraMatrixTest, ColumnsAreRightUpForwardPosition) {
    Camera camera;
    camera.position = {1, 2, 3};
    camera.direction = {0, 0, 2};
    camera.up = {0, 1, 0};
    // forward (0,0,1); right = forward x up = (-1,0,0); up' = right x forward = (0,1,0)
    EXPECT_EQ(cameraMatrix(camera), (Matrix4{-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1}));
}

TEST(CameraMatrixTest, NormalisesAndStraightensTheUpVector) {
    Camera camera;
    camera.direction = {3, 0, 4};  // forward (0.6, 0, 0.8)
    camera.up = {0, 2, 0.5f};      // neither unit length nor orthogonal
    // forward x up = (-1.6, -0.3, 1.2), length 2.0224: right = (-0.79114, -0.14834, 0.59336)
    const Matrix4 m = cameraMatrix(camera);
    const Matrix4 expected = {-0.79114f, -0.14834f, 0.59336f, 0, -0.11867f, 0.98894f, 0.08900f, 0,
                              0.6f,      0,         0.8f,     0, 0,         0,        0,        1};
    for (std::size_t i = 0; i < 16; ++i) EXPECT_NEAR(m[i], expected[i], 1e-4f) << "element " << i;
}

TEST(CameraMatrixTest, ZeroDirectionKeepsOnlyThePosition) {
    Camera camera;
    camera.position = {4, 5, 6};
    camera.up = {0, 1, 0};
    EXPECT_EQ(cameraMatrix(camera), (Matrix4{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 5, 6, 1}));
}

TEST(CameraMatrixTest, NonFiniteDirectionOrUpKeepsNaNOutOfTheMatrix) {
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    const Matrix4 onlyPosition = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 5, 6, 1};
    for (const Pose3 direction : {Pose3{kNaN, 0, 1}, Pose3{0, kInfinity, 1}, Pose3{3e38f, 3e38f, 0}}) {
        Camera camera;
        camera.position = {4, 5, 6};
        camera.direction = direction;
        camera.up = {0, 1, 0};
        EXPECT_EQ(cameraMatrix(camera), onlyPosition) << direction[0] << " " << direction[1];
    }
    Camera camera;
    camera.position = {4, 5, 6};
    camera.direction = {0, 0, 1};
    camera.up = {kNaN, 1, 0};
    // No right or up' to be had: only forward and the position remain.
    EXPECT_EQ(cameraMatrix(camera), (Matrix4{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 4, 5, 6, 1}));
}

TEST(MeshUniformsTest, FillsOnlyThePartsMeshesAtTheirOwnIndex) {
    Scene scene;
    for (int i = 0; i < 3; ++i) {
        Mesh mesh = meshWithTransforms(10);
        mesh.vertex_offset = 10 * i + 1;
        mesh.face_offset = 10 * i + 2;
        mesh.bvh_offset = 10 * i + 3;
        mesh.face_count = 10 * i + 4;
        mesh.surface0_offset = 10 * i + 5;
        mesh.surface1_offset = 10 * i + 6;
        scene.meshes.push_back(std::move(mesh));
    }
    const ScenePart part = {0, 1, 2, 16.0f, {-1, -1, -1, -1}, {}, {}};
    advancePartMeshes(scene, part, 4);
    const MeshUniforms out = meshUniforms(scene, part);

    EXPECT_EQ(out.info[0], (std::array<std::int32_t, 4>{0, 0, 0, 0}));
    EXPECT_EQ(out.info[1], (std::array<std::int32_t, 4>{11, 12, 13, 14}));
    EXPECT_EQ(out.surface[2], (std::array<std::int32_t, 4>{25, 26, 0, 0}));
    EXPECT_EQ(out.transforms[0], kZeroMatrix);
    EXPECT_EQ(out.inverses[0], kIdentityMatrix);
    EXPECT_EQ(out.transforms[31], kZeroMatrix);
    EXPECT_EQ(out.inverses[31], kIdentityMatrix);
    // Transform 4 translates by (4, 8, 12); its inverse by (-4, -8, -12).
    EXPECT_EQ(out.transforms[2], scene.meshes[2].transforms[4]);
    EXPECT_EQ(scene.meshes[2].transform, scene.meshes[2].transforms[4]) << "the pose persists";
    EXPECT_EQ(scene.meshes[0].transform, scene.meshes[0].transforms[0]) << "meshes outside the part stay";
    EXPECT_EQ(out.inverses[1][12], -4.0f);
    EXPECT_EQ(out.inverses[1][13], -8.0f);
    EXPECT_EQ(out.inverses[1][14], -12.0f);
    EXPECT_EQ(meshUniformCount(scene), 3);
}

TEST(MeshUniformsTest, IndicesBeyondTheSceneOrTheArraysAreSkipped) {
    Scene small;
    small.meshes.resize(2);
    small.meshes[1].face_count = 7;
    MeshUniforms out = meshUniforms(small, {0, 1, 5, 1.0f, {}, {}, {}});
    EXPECT_EQ(out.info[1][3], 7);
    EXPECT_EQ(out.transforms[1], kIdentityMatrix);
    EXPECT_EQ(out.transforms[2], kZeroMatrix);

    out = meshUniforms(small, {0, -3, 0, 1.0f, {}, {}, {}});
    EXPECT_EQ(out.transforms[0], kIdentityMatrix);
    out = meshUniforms(small, {0, 1, 0, 1.0f, {}, {}, {}});
    EXPECT_EQ(out.transforms[0], kZeroMatrix) << "first above last: no mesh";
    EXPECT_EQ(out.transforms[1], kZeroMatrix);

    Scene large;
    large.meshes.resize(40);
    large.meshes[31].face_count = 31;
    out = meshUniforms(large, {0, 30, 35, 1.0f, {}, {}, {}});
    EXPECT_EQ(out.info[31][3], 31);
    EXPECT_EQ(out.transforms[30], kIdentityMatrix);
    EXPECT_EQ(meshUniformCount(large), 32);
}

// A turn that is not a multiple of 90 degrees makes other corners the extremes than the box's own
// lowest and highest: every corner must be carried.
TEST(MeshUniformsTest, EachPartMeshGetsItsBoxCarriedToTheWorld) {
    Scene scene;
    scene.meshes.resize(3);
    for (Mesh& mesh : scene.meshes) mesh.box = {{1, 2, 3}, {2, 4, 7}};
    // Mesh 1 turned 30 degrees about z (cos 30 = 0.8660254), then moved by (10, 20, 30).
    constexpr float c = 0.8660254f, s = 0.5f;
    scene.meshes[1].transform = {c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 10, 20, 30, 1};
    const MeshUniforms out = meshUniforms(scene, {0, 1, 1, 1.0f, {}, {}, {}});
    // x' = x c - y s is lowest at (1, 4) and highest at (2, 2); y' = x s + y c lowest at (1, 2) and
    // highest at (2, 4); z is kept.
    const Vector4 low = {10 + c - 2, 20 + 0.5f + 2 * c, 33, 1}, high = {10 + 2 * c - 1, 20 + 1 + 4 * c, 37, 1};
    for (std::size_t a = 0; a < 4; ++a) {
        EXPECT_NEAR(out.lows[1][a], low[a], 1e-5f) << "axis " << a;
        EXPECT_NEAR(out.highs[1][a], high[a], 1e-5f) << "axis " << a;
    }
    EXPECT_EQ(out.lows[0], (Vector4{0, 0, 0, 0})) << "meshes outside the part get no box";
    EXPECT_EQ(out.highs[2], (Vector4{0, 0, 0, 0}));
}

TEST(PartLightsTest, CameraLightSitsHalfAnUpVectorAboveTheCameraInXAndY) {
    Scene scene;
    scene.cameras.push_back(cameraWithFrames(10));
    Camera& camera = scene.cameras[0];
    camera.frames[3].position = {1, 2, 3};
    camera.frames[3].up = {0, 4, 6};
    applyCameraFrame(camera, 3);
    const PartLights lights = partLights(scene, timeline[2], camera);
    EXPECT_EQ(lights.positions[0], (Vector4{1, 4, 3, 1})) << "z of up is not added";
    EXPECT_EQ(lights.colors[0], (Vector4{10, 10, 10, 1}));
    for (std::size_t s = 1; s < 4; ++s) {
        EXPECT_EQ(lights.positions[s], (Vector4{0, 0, 0, 0}));
        EXPECT_EQ(lights.colors[s], (Vector4{0, 0, 0, 0}));
    }

    applyCameraFrame(camera, 8);  // position (8, 0, 0), up (0, 8, 0)
    EXPECT_EQ(partLights(scene, timeline[2], camera).positions[0], (Vector4{8, 4, 0, 1}));
}

TEST(PartLightsTest, SceneLightsAreAdvancedAndMissingOnesAreEmpty) {
    Scene scene;
    scene.lights.resize(2);
    Light& light = scene.lights[1];
    light.position = {9, 9, 9};
    light.intensity = 2.0f;
    light.color = {0.5f, 0.25f, 1.0f, 7.0f};
    light.frames.resize(3);
    light.frames[2] = {{1, 2, 3}, {}, {}, 0, 0, 4.0f, {0.5f, 0.25f, 1.0f, 7.0f}};
    const Camera camera;
    const ScenePart part = {0, 0, -1, 1.0f, {1, 7, -1, 1}, {}, {}};

    advancePartLights(scene, part, 5);  // no frame 5: the light keeps its pose
    PartLights lights = partLights(scene, part, camera);
    EXPECT_EQ(lights.positions[0], (Vector4{9, 9, 9, 1}));
    EXPECT_EQ(lights.colors[0], (Vector4{1.0f, 0.5f, 2.0f, 1.0f}));
    EXPECT_EQ(lights.positions[1], (Vector4{0, 0, 0, 0})) << "light 7 does not exist";
    EXPECT_EQ(lights.colors[1], (Vector4{0, 0, 0, 0}));

    advancePartLights(scene, part, 2);
    lights = partLights(scene, part, camera);
    EXPECT_EQ(lights.positions[3], (Vector4{1, 2, 3, 1}));
    EXPECT_EQ(lights.colors[3], (Vector4{2.0f, 1.0f, 4.0f, 1.0f}));
    EXPECT_EQ(scene.lights[1].position, (Pose3{1, 2, 3})) << "the pose persists";
}

TEST(PartLightsTest, CameraLightSlotNeverMovesAStoredLightEvenWithOver100Lights) {
    Scene scene;
    scene.lights.resize(static_cast<std::size_t>(kCameraLight) + 1);
    for (Light& light : scene.lights) {
        light.position = {9, 9, 9};
        light.frames.resize(3);
        light.frames[2].position = {1, 2, 3};
    }
    const ScenePart part = {0, 0, -1, 1.0f, {kCameraLight, 99, -1, -1}, {}, {}};
    advancePartLights(scene, part, 2);
    EXPECT_EQ(scene.lights[99].position, (Pose3{1, 2, 3})) << "an ordinary slot moves its light";
    EXPECT_EQ(scene.lights[100].position, (Pose3{9, 9, 9})) << "slot 100 is the camera's light";

    Camera camera;
    camera.position = {4, 0, 0};
    const PartLights lights = partLights(scene, part, camera);
    EXPECT_EQ(lights.positions[0], (Vector4{4, 0, 0, 1}));
    EXPECT_EQ(lights.colors[0], (Vector4{10, 10, 10, 1}));
}

TEST(SetSceneUniformsTest, PartWithoutACameraTouchesNothing) {
    // glApi is empty in this program: any OpenGL call would crash.
    Scene scene;
    scene.cameras.push_back(cameraWithFrames(10));
    scene.meshes.push_back(meshWithTransforms(10));
    scene.frame = 42;
    scene.flash = {1, 1, 1, 0.5f};
    const Shader shader;
    EXPECT_FALSE(setSceneUniforms(scene, timeline[5], 0.1f, shader));
    ScenePart missingCamera = timeline[2];
    missingCamera.camera = 1;
    EXPECT_FALSE(setSceneUniforms(scene, missingCamera, 0.1f, shader));
    EXPECT_EQ(scene.frame, 42);
    EXPECT_EQ(scene.flash, (Vector4{1, 1, 1, 0.5f}));
    EXPECT_EQ(scene.cameras[0].position, (Pose3{-1, -2, -3}));
    EXPECT_EQ(scene.meshes[0].transform, scene.meshes[0].transforms[0]);
}

}  // namespace
