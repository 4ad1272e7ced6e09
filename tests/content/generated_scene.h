// The generated scene file packed as the production loads it, made once per test program.
#pragma once

#include <optional>
#include <string>

#include "content/scene_generator.h"
#include "scene/scene_loader.h"

struct GeneratedScene {
    std::optional<std::string> error;  // the loader's reason when it refused the file
    SceneData data;
};

inline const GeneratedScene& generatedScene() {
    static const GeneratedScene scene = [] {
        GeneratedScene result;
        result.error = buildSceneData(result.data, content::generateSceneFile(), "scene.vxs", kSceneTextureSide,
                                      discardTraceLine);
        return result;
    }();
    return scene;
}
