// The production's scene load: the CPU side, the show's own needs, then the texture upload.
#include <utility>

#include "scene/scene_loader.h"

std::optional<std::string> readSceneData(SceneData& data, const std::filesystem::path& path, int side,
                                         const SceneNeeds& needs, const TraceSink& sink) {
    std::string message;
    std::optional<std::vector<char>> file = readSceneFile(path, message);
    if (!file) return message;
    SceneData read;
    if (auto error = buildSceneData(read, *file, path, side, sink)) return error;
    if (auto error = checkSceneMeetsNeeds(read, needs, path)) return error;
    data = std::move(read);
    return std::nullopt;
}

void uploadScene(Scene& scene, SceneData&& data, int side) {
    const std::vector<float> texels = takeSceneTextureTexels(data, side);
    const auto rows = static_cast<int>(texels.size() / 4 / static_cast<std::size_t>(side));
    scene.texture = createTexture(side, rows, kTextureFormatRGBA32F, texels.data(), false, 0);
    scene.meshes = std::move(data.meshes);
    scene.cameras = std::move(data.cameras);
    scene.lights = std::move(data.lights);
}

std::optional<std::string> loadScene(Scene& scene, const std::filesystem::path& path, int side,
                                     const SceneNeeds& needs, const TraceSink& sink) {
    SceneData data;
    if (auto error = readSceneData(data, path, side, needs, sink)) return error;
    uploadScene(scene, std::move(data), side);
    return std::nullopt;
}
