// The scene the production shows, built procedurally and deterministically from the sets (meshes
// with their motion, camera paths and light paths) and the show's timeline, which says how long
// each of them is on screen. Animated values are sampled at 60 frames per second.
#pragma once

#include "content/scene_file_writer.h"

namespace content {

inline constexpr char kGeneratedSceneName[] = "scene.vxs";

// The whole scene file. Two calls give the same bytes.
SceneFileBytes generateSceneFile();

}  // namespace content
