// The in-memory scene: the meshes packed into the scene data texture, the cameras and the lights,
// plus the two values the show writes every frame. There is one scene for the whole process.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "gl/gl_helpers.h"
#include "math/vector.h"
#include "scene/scene_needs.h"

// One mesh's place in the scene data texture (texel indices) and its animation.
struct Mesh {
    std::int32_t vertex_offset = 0;
    std::int32_t face_offset = 0;
    std::int32_t bvh_offset = 0;
    // Holds the mesh's block size in floats while it is packed, its face count afterwards.
    std::int32_t face_count = 0;
    std::int32_t surface0_offset = 0;
    std::int32_t surface1_offset = 0;
    // The mesh's trace tree (scene/trace_tree.h), which the loader lays after every mesh's block:
    // the texel of its first face entry and its root's node word.
    std::int32_t tree_offset = 0;
    std::int32_t tree_root = 0;
    Box3 box{};  // the box of the mesh's faces in its own coordinates; zero without faces
    Matrix4 transform = kIdentityMatrix;  // the transform currently shown
    std::vector<Matrix4> transforms;      // one per frame at 60 frames per second
};

// A camera pose recorded for one frame; the last 24 bytes of the record are kept as they stand.
struct CameraFrame {
    std::array<float, 3> position{};
    std::array<float, 3> direction{};
    std::array<float, 3> up{};
    float fov = 0.0f;
    std::array<std::uint32_t, 6> unused{};
};
static_assert(sizeof(CameraFrame) == 64);
// The frame records are copied from the file as they stand, so their fields sit at the file's
// offsets.
static_assert(offsetof(CameraFrame, direction) == 12 && offsetof(CameraFrame, up) == 24 &&
              offsetof(CameraFrame, fov) == 36 && offsetof(CameraFrame, unused) == 40);

struct Camera {
    std::array<float, 3> position{};
    std::array<float, 3> direction{};  // need not be normalised
    std::array<float, 3> up{};         // need not be normalised nor orthogonal to direction
    float fov = 0.0f;                  // full field of view in degrees
    float param1 = 0.0f;               // stored with the record, not used
    float param2 = 0.0f;               // stored with the record, not used
    std::vector<CameraFrame> frames;
};

// A light pose recorded for one frame.
struct LightFrame {
    std::array<float, 3> position{};
    std::array<float, 3> direction{};
    std::array<float, 3> up{};
    float param0 = 0.0f;
    float range = 0.0f;
    float intensity = 0.0f;
    std::array<float, 4> color{};
};
static_assert(sizeof(LightFrame) == 64);
static_assert(offsetof(LightFrame, direction) == 12 && offsetof(LightFrame, up) == 24 &&
              offsetof(LightFrame, param0) == 36 && offsetof(LightFrame, range) == 40 &&
              offsetof(LightFrame, intensity) == 44 && offsetof(LightFrame, color) == 48);

struct Light {
    std::array<float, 3> position{};
    std::array<float, 3> direction{};
    std::array<float, 3> up{};
    float param1 = 0.0f;     // stored with the record, not used
    float param0 = 0.0f;     // replaced by the frames, not used otherwise
    float param2 = 0.0f;     // stored with the record, not used
    float range = 0.0f;      // replaced by the frames, not used by the uniforms
    float intensity = 0.0f;  // multiplies the colour
    float param5 = 0.0f;     // stored with the record, not used
    std::array<float, 4> color{};  // red, green, blue and a fourth value
    std::vector<LightFrame> frames;
};

struct Scene {
    Texture texture;  // the scene data texture; -1 until the scene is loaded
    Texture meshImage;  // the meshes' image the scene pass writes each frame; -1 until its first
    std::vector<Mesh> meshes;
    std::vector<Camera> cameras;
    std::vector<Light> lights;
    std::int32_t frame = 0;         // frame index of the current moment, at 60 frames per second
    std::array<float, 4> flash{};  // RGBA flash colour
};

// Copies the pose of frames[frame] into the camera when that frame exists; otherwise the camera
// keeps the pose it holds.
void applyCameraFrame(Camera& camera, std::int32_t frame);

// The same for a light: position, direction, up, param0, range, intensity and colour.
void applyLightFrame(Light& light, std::int32_t frame);

// A mesh with more than one transform shows transforms[frame], frame clamped to the recorded
// range; with one or none it keeps its current transform.
void applyMeshFrame(Mesh& mesh, std::int32_t frame);

// The one scene of the process, empty until start-up loads it.
extern Scene theScene;
