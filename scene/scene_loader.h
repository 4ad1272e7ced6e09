// Reading the scene file into the in-memory scene and the scene data texture.
//
// File layout (little-endian, records directly after each other, no header):
//   u32 mesh count, the mesh records; u32 camera count, the camera records; u32 light count, the
//   light records; anything after the last light is ignored.
//   mesh:   u32 ignored, u32 F, F faces (u32 index0, index1, index2, u32 word with the surface
//           index in bits 16-31), u32 V, V positions (3 f32), V extras (f32), F surface records 0
//           (16 bytes each), F surface records 1, u32 T, T column-major 4x4 f32 transforms.
//   camera: f32 fov, param1, param2; 3 f32 position, direction, up; u32 K; K 64-byte frames
//           (position, direction, up, fov, 24 ignored bytes).
//   light:  f32 param0, param1, param2, range, intensity, param5; 4 f32 color; 3 f32 position,
//           direction, up; u32 K; K 64-byte frames (position, direction, up, param0, range,
//           intensity, color).
//
// A file is accepted when it holds every byte its counts announce, every face's vertex indices
// are below V and its surface index below F, the meshes fit in side x side texels and there are at
// most 32 meshes. The show additionally needs the meshes, cameras and lights its timeline names
// (checkSceneMeetsNeeds), which loadScene requires and the CPU-side entry leaves to its caller.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "scene/scene.h"
#include "scene/trace_tree.h"

// Receives the loader's trace lines, each ending in '\n'. An empty sink discards them.
using TraceSink = std::function<void(std::string_view line)>;

// A sink that discards every line, as the production's.
void discardTraceLine(std::string_view line);

inline constexpr int kSceneTextureSide = 1024;
inline constexpr std::size_t kMaxSceneMeshes = 32;

// The whole file in binary mode, or nothing when it cannot be opened, cannot be read or is empty.
std::optional<std::vector<char>> readWholeFile(const std::filesystem::path& path);

// Like readWholeFile, but on failure says why in message ("<path>: <reason>").
std::optional<std::vector<char>> readSceneFile(const std::filesystem::path& path, std::string& message);

// The CPU side of a loaded scene: the records in file order, the mesh blocks as the file format
// packs them and the trace trees that go after them in the scene texture.
struct SceneData {
    std::vector<float> texels;  // side x side texels of four floats, texel order: the mesh blocks
    std::vector<Mesh> meshes;
    std::vector<Camera> cameras;
    std::vector<Light> lights;
    std::size_t texelsUsed = 0;  // texels the mesh blocks take; the trees start there
    std::vector<TraceTreeTexel> trees;  // every mesh's tree, in mesh order
};

// The scene texture's texels, side texels a row: the mesh blocks, then the trees from texel
// data.texelsUsed on. It has side rows, or more where the trees reach past them (a file whose
// blocks fill the texture still draws). Takes data.texels over.
std::vector<float> takeSceneTextureTexels(SceneData& data, int side);

// Parses, validates, builds the hierarchies and packs the file's bytes. On success fills data,
// hands the trace lines to sink and returns nothing; otherwise returns "<name>: <what is wrong>",
// leaves data untouched and traces nothing. name only labels the messages.
std::optional<std::string> buildSceneData(SceneData& data, std::span<const char> file,
                                          const std::filesystem::path& name, int side,
                                          const TraceSink& sink);

// Whether the scene has at least the meshes, cameras and lights its user indexes.
std::optional<std::string> checkSceneMeetsNeeds(const SceneData& data, const SceneNeeds& needs,
                                                const std::filesystem::path& name);

// Reads and checks the file (including the show's needs) into data: everything of a load but the
// upload, so it may run on any thread. On failure returns the message and leaves data untouched.
std::optional<std::string> readSceneData(SceneData& data, const std::filesystem::path& path, int side,
                                         const SceneNeeds& needs, const TraceSink& sink);

// Moves a read scene into scene and uploads the scene texture (side texels wide, RGBA32F) into
// scene.texture, replacing what scene held. Needs a current OpenGL context.
void uploadScene(Scene& scene, SceneData&& data, int side);

// What the production calls once: readSceneData, then uploadScene. On failure returns the message
// and leaves scene as it was.
std::optional<std::string> loadScene(Scene& scene, const std::filesystem::path& path, int side,
                                     const SceneNeeds& needs, const TraceSink& sink);

// The label a path gets in messages.
std::string displayName(const std::filesystem::path& path);
