// The scene the production shows, built procedurally and deterministically from the sets (meshes
// with their motion, camera paths and light paths) and the show's timeline, which says how long
// each of them is on screen. Animated values are sampled at 60 frames per second.
#pragma once

#include <optional>
#include <string>

#include "content/mesh_builder.h"
#include "content/scene_file_writer.h"

namespace content {

inline constexpr char kGeneratedSceneName[] = "scene.vxs";

// The whole scene file into out, or what kept a mesh from meeting the hierarchy's leaf bound
// (out is then left empty). Two calls give the same bytes.
std::optional<std::string> generateSceneFile(SceneFileBytes& out);

// The same, with no reason given: empty bytes when the scene cannot be made.
SceneFileBytes generateSceneFile();

// Splits a built mesh until no edge is longer than kLongestEdge and the hierarchy builder leaves
// no leaf of kBvhLeafLimit faces or more; what failed when it cannot get there.
std::optional<std::string> refineForHierarchy(MeshBuilder& mesh);

}  // namespace content
