// How the generated content moves: mesh animations, camera paths and light paths, each sampled
// at a time into its part of the show.
#pragma once

#include <array>

#include "content/vector_math.h"
#include "scene/scene.h"

namespace content {

// A mesh's animation: a spin about an axis through pivot, a vertical bob, and an orbit about the
// vertical through orbitCentre, applied in that order. All zero: the mesh stands still.
struct MeshMotion {
    Vec3 pivot;
    Vec3 spinAxis{0, 1, 0};
    float spinTurnsPerSecond = 0.0f;
    float bobHeight = 0.0f;
    float bobSeconds = 1.0f;
    Vec3 orbitCentre;
    float orbitTurnsPerSecond = 0.0f;
};

bool isStill(const MeshMotion& motion);
Matrix4 motionAt(const MeshMotion& motion, float seconds);

// A spin about axis through pivot with an optional bob.
MeshMotion spinning(Vec3 pivot, float turnsPerSecond, float bobHeight = 0.0f, float bobSeconds = 1.0f,
                    Vec3 axis = {0, 1, 0});

// A camera path over its part: every value goes from its start to its end with an ease in and
// out. The camera circles centre's vertical at the given radius and height and looks at target.
struct CameraPath {
    Vec3 centre;
    float startDegrees, endDegrees;
    float startRadius, endRadius;
    float startHeight, endHeight;
    Vec3 startTarget, endTarget;
    float startFov, endFov;
};

// A light circling centre's vertical at a constant radius, height and speed.
struct LightPath {
    Vec3 centre;
    float radius, height;
    float startDegrees, turnsPerSecond;
    std::array<float, 3> color;
    float intensity, range;
};

// The camera's pose at u, the share of its part gone by (0 at the start, 1 at the end).
CameraFrame cameraFrameAt(const CameraPath& path, float u);

// The light's pose the given seconds into its part.
LightFrame lightFrameAt(const LightPath& path, float seconds);

}  // namespace content
