// Feeds arbitrary bytes to the scene loader's CPU side. A small texture side keeps every run
// cheap and lets the capacity check fire often; everything else is as in the production.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "scene/scene_loader.h"

namespace {

constexpr int kFuzzTextureSide = 32;

// What every accepted scene must satisfy; a violation aborts so the fuzzer reports it.
void checkAccepted(const SceneData& data) {
    if (data.texels.size() != static_cast<std::size_t>(kFuzzTextureSide) * kFuzzTextureSide * 4) std::abort();
    if (data.meshes.size() > kMaxSceneMeshes) std::abort();
    if (data.texelsUsed > static_cast<std::size_t>(kFuzzTextureSide) * kFuzzTextureSide) std::abort();
    for (const Mesh& mesh : data.meshes) {
        if (mesh.vertex_offset % 2 != 0 || mesh.surface1_offset - mesh.surface0_offset != mesh.face_count) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    SceneData data;
    const std::span<const char> file(reinterpret_cast<const char*>(bytes), size);
    if (!buildSceneData(data, file, "fuzz.vxs", kFuzzTextureSide, discardTraceLine)) checkAccepted(data);
    return 0;
}
