#include "content/motion.h"

#include <algorithm>
#include <cmath>

namespace content {
namespace {

float ease(float u) { return 0.5f - 0.5f * std::cos(kPi * std::clamp(u, 0.0f, 1.0f)); }

}  // namespace

bool isStill(const MeshMotion& motion) {
    return motion.spinTurnsPerSecond == 0.0f && motion.bobHeight == 0.0f && motion.orbitTurnsPerSecond == 0.0f;
}

Matrix4 motionAt(const MeshMotion& motion, float seconds) {
    const Matrix4 spin = multiply(translation(motion.pivot),
                                  multiply(rotation(motion.spinAxis, 2.0f * kPi * motion.spinTurnsPerSecond * seconds),
                                           translation(Vec3{} - motion.pivot)));
    const float bob = motion.bobHeight * std::sin(2.0f * kPi * seconds / motion.bobSeconds);
    const Matrix4 orbit = multiply(translation(motion.orbitCentre),
                                   multiply(rotation(kUp, 2.0f * kPi * motion.orbitTurnsPerSecond * seconds),
                                            translation(Vec3{} - motion.orbitCentre)));
    return multiply(orbit, multiply(translation({0, bob, 0}), spin));
}

MeshMotion spinning(Vec3 pivot, float turnsPerSecond, float bobHeight, float bobSeconds, Vec3 axis) {
    MeshMotion motion;
    motion.pivot = pivot;
    motion.spinAxis = axis;
    motion.spinTurnsPerSecond = turnsPerSecond;
    motion.bobHeight = bobHeight;
    motion.bobSeconds = bobSeconds;
    return motion;
}

CameraFrame cameraFrameAt(const CameraPath& path, float u) {
    const float s = ease(u);
    const Vec3 position = orbitPoint(path.centre, mix(path.startRadius, path.endRadius, s),
                                     mix(path.startHeight, path.endHeight, s), mix(path.startDegrees, path.endDegrees, s));
    CameraFrame frame;
    frame.position = toArray(position);
    frame.direction = toArray(normalize(mix(path.startTarget, path.endTarget, s) - position));
    frame.up = toArray(kUp);
    frame.fov = mix(path.startFov, path.endFov, s);
    return frame;
}

LightFrame lightFrameAt(const LightPath& path, float seconds) {
    const Vec3 position =
        orbitPoint(path.centre, path.radius, path.height, path.startDegrees + 360.0f * path.turnsPerSecond * seconds);
    LightFrame frame;
    frame.position = toArray(position);
    frame.direction = toArray(normalize(path.centre - position));
    frame.up = toArray(kUp);
    frame.param0 = 0.0f;
    frame.range = path.range;
    frame.intensity = path.intensity;
    frame.color = {path.color[0], path.color[1], path.color[2], 1.0f};
    return frame;
}

}  // namespace content
