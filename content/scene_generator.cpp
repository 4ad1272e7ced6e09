#include "content/scene_generator.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "content/refine.h"
#include "content/sets.h"
#include "content/vertex_extra.h"
#include "scene/bvh.h"
#include "show/timeline.h"

namespace content {
namespace {

constexpr float kFramesPerSecond = 60.0f;

// What the grids of the building helpers leave (caps, fans, tori) is split to the same length; then
// the faces of leaves the hierarchy still cannot split are split again, for a few rounds.
constexpr int kLeafRounds = 8;

// Frames that cover a part from its start to its end, both included.
std::uint32_t framesFor(float seconds) { return static_cast<std::uint32_t>(std::lround(seconds * kFramesPerSecond)) + 1; }

float secondsOfFrame(std::uint32_t frame) { return static_cast<float>(frame) / kFramesPerSecond; }

// The length of the first part of the timeline that shows the mesh, camera or light; 0 when none
// does (the closing part shows nothing and needs nothing).
float partSecondsForMesh(int mesh) {
    for (const ScenePart& part : timeline) {
        if (mesh >= part.firstMesh && mesh <= part.lastMesh) return part.duration;
    }
    return 0.0f;
}

float partSecondsForCamera(int camera) {
    for (const ScenePart& part : timeline) {
        if (part.camera == camera) return part.duration;
    }
    return 0.0f;
}

float partSecondsForLight(int light) {
    for (const ScenePart& part : timeline) {
        if (std::find(part.lights.begin(), part.lights.end(), light) != part.lights.end()) return part.duration;
    }
    return 0.0f;
}

std::vector<Matrix4> meshTransforms(const MeshPlan& plan, float partSeconds) {
    if (isStill(plan.motion)) return {kIdentityMatrix};
    std::vector<Matrix4> transforms;
    const std::uint32_t count = framesFor(partSeconds);
    for (std::uint32_t frame = 0; frame < count; ++frame) transforms.push_back(motionAt(plan.motion, secondsOfFrame(frame)));
    return transforms;
}

// Face i carries surface index i, so each face keeps its own records whatever order it ends in.
MeshRecord meshRecord(const MeshBuilder& mesh, std::vector<Matrix4> transforms) {
    MeshRecord record;
    for (std::size_t i = 0; i < mesh.triangles.size(); ++i) {
        const Triangle& t = mesh.triangles[i];
        record.faces.push_back({t[0], t[1], t[2], static_cast<std::uint32_t>(i) << 16});
    }
    for (const Vec3& p : mesh.positions) record.positions.push_back(toArray(p));
    for (std::size_t v = 0; v < mesh.positions.size(); ++v) {
        record.extras.push_back(packVertexExtra({vertexNormal(mesh, v), mesh.ambient[v]}));
    }
    for (const Material& m : mesh.materials) record.surface0.push_back(m.record0);
    for (const Material& m : mesh.materials) record.surface1.push_back(m.record1);
    record.transforms = std::move(transforms);
    return record;
}

// A camera or light record's own pose is its first frame's.
Camera cameraRecord(const CameraPath& path, float partSeconds) {
    Camera camera;
    const std::uint32_t count = framesFor(partSeconds);
    for (std::uint32_t frame = 0; frame < count; ++frame) {
        camera.frames.push_back(cameraFrameAt(path, secondsOfFrame(frame) / partSeconds));
    }
    applyCameraFrame(camera, 0);
    return camera;
}

Light lightRecord(const LightPath& path, float partSeconds) {
    Light light;
    const std::uint32_t count = framesFor(partSeconds);
    for (std::uint32_t frame = 0; frame < count; ++frame) light.frames.push_back(lightFrameAt(path, secondsOfFrame(frame)));
    applyLightFrame(light, 0);
    return light;
}

}  // namespace

std::optional<std::string> refineForHierarchy(MeshBuilder& mesh) {
    if (!splitLongEdges(mesh, mesh.longestEdge)) return "edges longer than the longest allowed remain after every split";
    if (!splitUntilEveryLeafIsSmall(mesh, kLeafRounds)) {
        return "a leaf of " + std::to_string(kBvhLeafLimit) + " faces or more remains after " +
               std::to_string(kLeafRounds) + " rounds of splitting";
    }
    return std::nullopt;
}

std::optional<std::string> generateSceneFile(SceneFileBytes& out) {
    out.clear();
    const std::span<const MeshPlan> plans = meshPlans();
    putU32(out, static_cast<std::uint32_t>(plans.size()));
    for (std::size_t i = 0; i < plans.size(); ++i) {
        MeshBuilder mesh;
        plans[i].build(mesh, plans[i].variant);
        if (auto failure = refineForHierarchy(mesh)) {
            out.clear();
            return "mesh " + std::to_string(i) + ": " + *failure;
        }
        putMesh(out, meshRecord(mesh, meshTransforms(plans[i], partSecondsForMesh(static_cast<int>(i)))), 0);
    }
    const std::span<const CameraPath> cameras = cameraPaths();
    putU32(out, static_cast<std::uint32_t>(cameras.size()));
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        putCamera(out, cameraRecord(cameras[i], partSecondsForCamera(static_cast<int>(i))));
    }
    const std::span<const LightPath> lights = lightPaths();
    putU32(out, static_cast<std::uint32_t>(lights.size()));
    for (std::size_t i = 0; i < lights.size(); ++i) {
        putLight(out, lightRecord(lights[i], partSecondsForLight(static_cast<int>(i))));
    }
    return std::nullopt;
}

SceneFileBytes generateSceneFile() {
    SceneFileBytes out;
    generateSceneFile(out);
    return out;
}

}  // namespace content
