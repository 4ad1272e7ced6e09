// The five sets of the show's scene, one per part that draws something, with the meshes' motion
// and the camera and light paths over them.
//
// Coordinates: y is up, one unit is about a metre, the ground of every set lies at y = 0. Each
// set is built in the meshes' own coordinates at its own place (sets lie 60 units or more apart),
// so a mesh's transform is the identity or an animation about a point of its set. A transform
// maps the mesh's coordinates to world coordinates.
#pragma once

#include <span>

#include "content/mesh_builder.h"
#include "content/motion.h"

namespace content {

// How to build one mesh of the scene and how it moves.
struct MeshPlan {
    void (*build)(MeshBuilder& mesh, int variant);
    int variant;
    MeshMotion motion;
};

// Entry i describes the scene's mesh, camera or light i.
std::span<const MeshPlan> meshPlans();
std::span<const CameraPath> cameraPaths();

// Light intensities are meant for a fall-off with the square of the distance: intensity x colour
// / distance^2 is about 1 on the set's main objects. range is the distance beyond which the light
// hardly matters; direction points at the set's centre.
std::span<const LightPath> lightPaths();

}  // namespace content
