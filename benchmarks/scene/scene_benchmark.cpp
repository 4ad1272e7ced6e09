// Loading a scene of 200,000 faces: reading the file, checking it, building the hierarchies and
// packing the texel array, as start-up does before the upload.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "scene/scene_loader.h"

namespace {

void putU32(std::vector<char>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void putF32(std::vector<char>& out, float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    putU32(out, bits);
}

// A rolling height field of columns x rows quads (two faces each), shifted by offset along x.
void putTerrainMesh(std::vector<char>& out, std::uint32_t columns, std::uint32_t rows, float offset) {
    const std::uint32_t faces = 2 * columns * rows;
    const std::uint32_t stride = columns + 1;
    putU32(out, 0);
    putU32(out, faces);
    for (std::uint32_t y = 0; y < rows; ++y) {
        for (std::uint32_t x = 0; x < columns; ++x) {
            const std::uint32_t a = y * stride + x;
            const std::uint32_t surface = (2 * (y * columns + x)) << 16;
            for (std::uint32_t index : {a, a + 1, a + stride, surface}) putU32(out, index);
            for (std::uint32_t index : {a + 1, a + stride + 1, a + stride, surface + 0x10000}) putU32(out, index);
        }
    }
    const std::uint32_t vertices = stride * (rows + 1);
    putU32(out, vertices);
    for (std::uint32_t y = 0; y <= rows; ++y) {
        for (std::uint32_t x = 0; x <= columns; ++x) {
            putF32(out, offset + 0.1f * static_cast<float>(x));
            putF32(out, 0.1f * static_cast<float>(y));
            putF32(out, std::sin(0.05f * static_cast<float>(x)) * std::cos(0.07f * static_cast<float>(y)));
        }
    }
    for (std::uint32_t v = 0; v < vertices; ++v) putF32(out, 0.5f);
    for (std::uint32_t block = 0; block < 2; ++block) {
        for (std::uint32_t f = 0; f < faces; ++f) {
            for (float value : {0.8f, 0.7f, 0.6f, static_cast<float>(block)}) putF32(out, value);
        }
    }
    putU32(out, 60);
    for (int t = 0; t < 60; ++t) {
        for (int n = 0; n < 16; ++n) putF32(out, n % 5 == 0 ? 1.0f : 0.0f);
    }
}

// meshCount terrains of 200,000 faces in all, with the show's five cameras and seven lights.
std::vector<char> sceneOf200kFaces(std::uint32_t meshCount) {
    std::vector<char> out;
    putU32(out, meshCount);
    const std::uint32_t rowsEach = 500 / meshCount;
    for (std::uint32_t m = 0; m < meshCount; ++m) putTerrainMesh(out, 200, rowsEach, 25.0f * static_cast<float>(m));
    putU32(out, 5);
    for (int c = 0; c < 5; ++c) {
        for (int n = 0; n < 12; ++n) putF32(out, 1.0f);
        putU32(out, 600);
        out.resize(out.size() + 600 * 64);
    }
    putU32(out, 7);
    for (int l = 0; l < 7; ++l) {
        for (int n = 0; n < 19; ++n) putF32(out, 1.0f);
        putU32(out, 600);
        out.resize(out.size() + 600 * 64);
    }
    return out;
}

void loadBuildPack(benchmark::State& state) {
    const std::uint32_t meshCount = static_cast<std::uint32_t>(state.range(0));
    const std::vector<char> bytes = sceneOf200kFaces(meshCount);
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
