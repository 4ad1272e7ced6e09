// How much of a scene a user of it indexes, kept apart from the scene itself so that the timeline
// can state its needs without the OpenGL headers the scene's texture brings in.
#pragma once

#include <cstddef>

// How many meshes, cameras and lights a user of the scene indexes: one more than the highest
// index of each kind.
struct SceneNeeds {
    std::size_t meshes = 0;
    std::size_t cameras = 0;
    std::size_t lights = 0;
};
