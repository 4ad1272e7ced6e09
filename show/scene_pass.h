// The scene pass: samples the current part's camera, lights and mesh transforms at 60 frames per
// second, hands them to the scene program as uniforms and draws one full-screen rectangle.
//
// Two kinds of functions make it up: the advance functions move the scene's animated state to a
// frame (through the records' apply functions of scene/scene.h) and change the scene; the others
// read the scene and compute values for the program without changing anything. The arithmetic
// needs no OpenGL, so each step can be checked alone; setSceneUniforms strings them together and
// does the GL work.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "scene/scene.h"
#include "scene/scene_loader.h"
#include "shaders/shader.h"
#include "show/timeline.h"

#include <vector>

using Vector4 = std::array<float, 4>;

// Texture unit of the scene data texture (GL_TEXTURE3).
inline constexpr int kSceneDataUnit = 3;
// Image unit the scene data texture is bound to as well, read-only ("scene_image"): an image load
// costs the software rasteriser less than a texel fetch, which handles a mip level per pixel.
inline constexpr int kSceneImageUnit = 0;

// Image unit of the meshes' image ("meshes_image"), read-only: the per-mesh values the scene
// program reads in its walk, again, as texels. The rasteriser gathers a uniform number by number
// for each pixel, and an image texel, four numbers, for little more than one of them.
inline constexpr int kMeshImageUnit = 1;
// Where a row of the meshes' image (one row per mesh, see meshImageTexels) holds each value: the
// world-to-mesh matrix's three rows from texel 0, the world box's lowest and highest corners, the
// mesh's places (vertex texel, face texel, trace tree's first face entry, tree root) and surface
// values.
inline constexpr int kMeshImageLowTexel = 3;
inline constexpr int kMeshImageHighTexel = 4;
inline constexpr int kMeshImageInfoTexel = 5;
inline constexpr int kMeshImageSurfaceTexel = 6;
inline constexpr int kMeshImageWidth = 7;

// The per-mesh uniform arrays, indexed by the mesh's absolute index in the scene.
struct MeshUniforms {
    std::array<std::array<std::int32_t, 4>, kMaxSceneMeshes> info;     // vertex, face, bvh offset, face count
    std::array<std::array<std::int32_t, 4>, kMaxSceneMeshes> surface;  // surface0, surface1 offsets, 0, 0
    std::array<Matrix4, kMaxSceneMeshes> transforms;
    std::array<Matrix4, kMaxSceneMeshes> inverses;
    std::array<Vector4, kMaxSceneMeshes> lows;   // the mesh's box in world space (see worldBox), w = 1
    std::array<Vector4, kMaxSceneMeshes> highs;
    std::array<std::array<std::int32_t, 2>, kMaxSceneMeshes> trees;  // trace tree offset, root
};
// Each array is handed to OpenGL as one block of values.
static_assert(sizeof(MeshUniforms::info) == kMaxSceneMeshes * 4 * sizeof(std::int32_t));
static_assert(sizeof(MeshUniforms::transforms) == kMaxSceneMeshes * 16 * sizeof(float));

// The meshes' image, row after row: row i holds mesh i's world-to-mesh matrix as three rows
// (x, y, z, translation), then its world box's lowest and highest corners (w = 1), then its vertex
// and face offsets with its trace tree's offset and root, and its surface values, as floats (whole
// numbers below 2^24, so exact).
using MeshImageTexels = std::array<Vector4, kMeshImageWidth * kMaxSceneMeshes>;
MeshImageTexels meshImageTexels(const MeshUniforms& meshes);

// The four light slots of a part as the scene program receives them.
struct PartLights {
    std::array<Vector4, 4> positions;
    std::array<Vector4, 4> colors;
};

// The scene's textures as the scene pass binds them: the scene data on kSceneDataUnit and as the
// image "scene_image", the meshes' image as "meshes_image" (0: none yet, as before the first frame).
struct SceneTextureNames {
    std::uint32_t data = 0;
    std::uint32_t meshImage = 0;
};
SceneTextureNames sceneTextureNames(const Scene& scene);

// Binds the names where the scene program reads them; leaves kSceneDataUnit active. Any context of
// the share group that made them.
void bindSceneTextures(const SceneTextureNames& names);

// Points the program's samplers and images at their units (the program in use must be `shader`).
void setSceneUnits(const Shader& shader);

// Whole 1/60 s since the part began: t * 60 in single precision, truncated toward zero. Values
// outside the 32-bit range (and NaN) saturate instead of overflowing.
std::int32_t sceneFrameIndex(float t);

// 1 / tan(fov * pi / 360) for a full field of view in degrees; the angle is formed in double.
float focalFactor(float fov);

// The frame vector of uniform location 0: render width, height, focal factor, time in part.
Vector4 frameVector(std::int32_t width, std::int32_t height, float fov, float t);

// The first sixteen bytes of the part as four integers (the duration as its bit pattern).
std::array<std::int32_t, 4> scenePartVector(const ScenePart& part);

// Columns (right, 0), (up', 0), (forward, 0), (position, 1): forward is the normalised
// direction, right = forward x up normalised, up' = right x forward. A vector of zero, infinite
// or NaN length normalises to zero (normalize of math/vector.h).
Matrix4 cameraMatrix(const Camera& camera);

// The number of entries of the per-mesh arrays sent to the program: the scene's mesh count,
// never more than the arrays hold.
std::int32_t meshUniformCount(const Scene& scene);

// Moves the part's meshes to `frame` (applyMeshFrame). Indices of the part outside the scene's
// meshes or the uniform arrays are skipped.
void advancePartMeshes(Scene& scene, const ScenePart& part, std::int32_t frame);

// What an advance does with a frame past a light's recording: the live pass leaves the light
// where it is; settling after a jump holds it at its last recorded frame, where playing through
// would have left it.
enum class PastRecording { Skip, HoldLast };

// A recorded frame index clamped into a recording of `count` frames (none: unchanged).
std::int32_t lastRecordedUpTo(std::int32_t frame, std::size_t count);

// Moves the scene lights in the part's slots to `frame` (applyLightFrame); slots naming no
// scene light are skipped, and so is kCameraLight, which names the camera's light even in a
// scene with more than kCameraLight lights.
void advancePartLights(Scene& scene, const ScenePart& part, std::int32_t frame,
                       PastRecording past = PastRecording::Skip);

// Moves everything the part shows to time t in it: the scene's frame index, the part's camera,
// meshes and lights, and the flash colour (partFlash). The part's camera must exist.
void advanceSceneTo(Scene& scene, const ScenePart& part, float t);

// The box in world space that holds `box`, a box in a mesh's coordinates, carried by the mesh's
// transform: the extremes of its eight carried corners.
Box3 worldBox(const Box3& box, const Matrix4& transform);

// The entries of the part's meshes as they stand, each mesh's box (the loader's, in its own
// coordinates) carried to the world by its transform; every other entry keeps zero offsets, a zero
// transform, an identity inverse and a zero box. Indices of the part outside the scene's meshes or
// the arrays are skipped.
MeshUniforms meshUniforms(const Scene& scene, const ScenePart& part);

// The flash colour at time t: the fade-in colour while t is inside the fade-in, else the
// fade-out colour while t is inside the fade-out, else `current`. Both tests are strict.
Vector4 partFlash(const ScenePart& part, float t, const Vector4& current);

// The part's four light slots as the scene's lights stand. The camera light sits half the
// camera's up vector above it in x and y. Empty slots, and slots naming a light the scene lacks,
// are zero. `camera` is the part's camera.
PartLights partLights(const Scene& scene, const ScenePart& part, const Camera& camera);

// The whole pass for one frame, drawn into whatever framebuffer is bound. Writes the scene's
// frame and flash and the poses of the part's camera, lights and meshes; these persist into
// later parts, and the meshes' image into scene.meshImage (made at the first frame). Leaves texture
// unit 3 active with the scene data texture bound and the shader's program in use. Returns false,
// having touched nothing, when the part has no camera to look through (a negative index, or one
// the scene lacks).
bool setSceneUniforms(Scene& scene, const ScenePart& part, float t, const Shader& shader);
