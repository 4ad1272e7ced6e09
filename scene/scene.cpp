#include "scene/scene.h"

#include <algorithm>
#include <cstddef>

Scene theScene;

namespace {

// Whether `frame` names one of `count` recorded frames.
bool hasFrame(std::int32_t frame, std::size_t count) {
    return frame >= 0 && static_cast<std::size_t>(frame) < count;
}

}  // namespace

void applyCameraFrame(Camera& camera, std::int32_t frame) {
    if (!hasFrame(frame, camera.frames.size())) return;
    const CameraFrame& pose = camera.frames[static_cast<std::size_t>(frame)];
    camera.position = pose.position;
    camera.direction = pose.direction;
    camera.up = pose.up;
    camera.fov = pose.fov;
}

void applyLightFrame(Light& light, std::int32_t frame) {
    if (!hasFrame(frame, light.frames.size())) return;
    const LightFrame& pose = light.frames[static_cast<std::size_t>(frame)];
    light.position = pose.position;
    light.direction = pose.direction;
    light.up = pose.up;
    light.param0 = pose.param0;
    light.range = pose.range;
    light.intensity = pose.intensity;
    light.color = pose.color;
}

void applyMeshFrame(Mesh& mesh, std::int32_t frame) {
    const std::size_t count = mesh.transforms.size();
    if (count <= 1) return;
    const std::size_t index = frame < 0 ? 0 : std::min(static_cast<std::size_t>(frame), count - 1);
    mesh.transform = mesh.transforms[index];
}
