// The production's scene load: the CPU side, the show's own needs, then the texture upload.
#include <utility>

#include "scene/scene_loader.h"

std::optional<std::string> loadScene(Scene& scene, const std::filesystem::path& path, int side,
                                     const SceneNeeds& needs, const TraceSink& sink) {
    std::string message;
    std::optional<std::vector<char>> file = readSceneFile(path, message);
    if (!file) return message;
    SceneData data;
    if (auto error = buildSceneData(data, *file, path, side, sink)) return error;
    if (auto error = checkSceneMeetsNeeds(data, needs, path)) return error;

    scene.texture = createTexture(side, side, kTextureFormatRGBA32F, data.texels.data(), false, 0);
    scene.meshes = std::move(data.meshes);
    scene.cameras = std::move(data.cameras);
    scene.lights = std::move(data.lights);
    return std::nullopt;
}
