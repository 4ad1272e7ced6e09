// Loading a scene of 200,000 faces: reading the file, checking it, building the hierarchies and
// packing the texel array, as start-up does before the upload.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

#include "content/scene_file_writer.h"
#include "scene/scene_loader.h"

namespace {

using content::putU32;

// A rolling height field of columns x rows quads (two faces each), shifted by offset along x.
content::MeshRecord terrainMesh(std::uint32_t columns, std::uint32_t rows, float offset) {
    content::MeshRecord mesh;
    const std::uint32_t stride = columns + 1;
    for (std::uint32_t y = 0; y < rows; ++y) {
        for (std::uint32_t x = 0; x < columns; ++x) {
            const std::uint32_t a = y * stride + x;
            const std::uint32_t surface = (2 * (y * columns + x)) << 16;
            mesh.faces.push_back({a, a + 1, a + stride, surface});
            mesh.faces.push_back({a + 1, a + stride + 1, a + stride, surface + 0x10000});
        }
    }
    for (std::uint32_t y = 0; y <= rows; ++y) {
        for (std::uint32_t x = 0; x <= columns; ++x) {
            mesh.positions.push_back({offset + 0.1f * static_cast<float>(x), 0.1f * static_cast<float>(y),
                                      std::sin(0.05f * static_cast<float>(x)) * std::cos(0.07f * static_cast<float>(y))});
        }
    }
    mesh.extras.assign(mesh.positions.size(), 0.5f);
    mesh.surface0.assign(mesh.faces.size(), {0.8f, 0.7f, 0.6f, 0.0f});
    mesh.surface1.assign(mesh.faces.size(), {0.8f, 0.7f, 0.6f, 1.0f});
    mesh.transforms.assign(60, kIdentityMatrix);
    return mesh;
}

// meshCount terrains of 200,000 faces in all, with the show's five cameras and seven lights.
content::SceneFileBytes sceneOf200kFaces(std::uint32_t meshCount) {
    content::SceneFileBytes out;
    putU32(out, meshCount);
    const std::uint32_t rowsEach = 500 / meshCount;
    for (std::uint32_t m = 0; m < meshCount; ++m) {
        content::putMesh(out, terrainMesh(200, rowsEach, 25.0f * static_cast<float>(m)), 0);
    }
    Camera camera{{1, 1, 1}, {1, 1, 1}, {1, 1, 1}, 1, 1, 1, std::vector<CameraFrame>(600)};
    putU32(out, 5);
    for (int c = 0; c < 5; ++c) content::putCamera(out, camera);
    Light light{{1, 1, 1}, {1, 1, 1}, {1, 1, 1}, 1, 1, 1, 1, 1, 1, {1, 1, 1, 1}, std::vector<LightFrame>(600)};
    putU32(out, 7);
    for (int l = 0; l < 7; ++l) content::putLight(out, light);
    return out;
}

void loadBuildPack(benchmark::State& state) {
    const std::uint32_t meshCount = static_cast<std::uint32_t>(state.range(0));
    const content::SceneFileBytes bytes = sceneOf200kFaces(meshCount);
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "qv_scene_benchmark.vxs";
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));

    std::size_t faces = 0;
    for (auto _ : state) {
        std::string message;
        const auto file = readSceneFile(path, message);
        SceneData data;
        const auto error = file ? buildSceneData(data, *file, path, kSceneTextureSide, discardTraceLine) : message;
        if (error) {
            state.SkipWithError(error->c_str());
            break;
        }
        faces = 0;
        for (const Mesh& mesh : data.meshes) faces += static_cast<std::size_t>(mesh.face_count);
        benchmark::DoNotOptimize(data.texels.data());
    }
    state.counters["faces"] = static_cast<double>(faces);
    std::filesystem::remove(path);
}

}  // namespace

// One mesh of 200,000 faces (the deepest hierarchy), and 25 meshes of 8,000 faces each.
BENCHMARK(loadBuildPack)->Arg(1)->Arg(25)->Unit(benchmark::kMillisecond);
