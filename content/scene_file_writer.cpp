#include "content/scene_file_writer.h"

#include <bit>

namespace content {
namespace {

template <std::size_t N>
void putF32s(SceneFileBytes& out, const std::array<float, N>& values) {
    for (float value : values) putF32(out, value);
}

void putCameraFrame(SceneFileBytes& out, const CameraFrame& frame) {
    putF32s(out, frame.position);
    putF32s(out, frame.direction);
    putF32s(out, frame.up);
    putF32(out, frame.fov);
    for (std::uint32_t word : frame.unused) putU32(out, word);
}

void putLightFrame(SceneFileBytes& out, const LightFrame& frame) {
    putF32s(out, frame.position);
    putF32s(out, frame.direction);
    putF32s(out, frame.up);
    putF32(out, frame.param0);
    putF32(out, frame.range);
    putF32(out, frame.intensity);
    putF32s(out, frame.color);
}

}  // namespace

void putU32(SceneFileBytes& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFFu));
}

void putF32(SceneFileBytes& out, float value) { putU32(out, std::bit_cast<std::uint32_t>(value)); }

void putMesh(SceneFileBytes& out, const MeshRecord& mesh, std::uint32_t leadingWord) {
    putU32(out, leadingWord);
    putU32(out, static_cast<std::uint32_t>(mesh.faces.size()));
    for (const FaceRecord& face : mesh.faces) {
        for (std::uint32_t word : {face.index0, face.index1, face.index2, face.word}) putU32(out, word);
    }
    putU32(out, static_cast<std::uint32_t>(mesh.positions.size()));
    for (const auto& position : mesh.positions) putF32s(out, position);
    for (float extra : mesh.extras) putF32(out, extra);
    for (const auto& record : mesh.surface0) putF32s(out, record);
    for (const auto& record : mesh.surface1) putF32s(out, record);
    putU32(out, static_cast<std::uint32_t>(mesh.transforms.size()));
    for (const Matrix4& transform : mesh.transforms) putF32s(out, transform);
}

void putCamera(SceneFileBytes& out, const Camera& camera) {
    putF32(out, camera.fov);
    putF32(out, camera.param1);
    putF32(out, camera.param2);
    putF32s(out, camera.position);
    putF32s(out, camera.direction);
    putF32s(out, camera.up);
    putU32(out, static_cast<std::uint32_t>(camera.frames.size()));
    for (const CameraFrame& frame : camera.frames) putCameraFrame(out, frame);
}

void putLight(SceneFileBytes& out, const Light& light) {
    putF32(out, light.param0);
    putF32(out, light.param1);
    putF32(out, light.param2);
    putF32(out, light.range);
    putF32(out, light.intensity);
    putF32(out, light.param5);
    putF32s(out, light.color);
    putF32s(out, light.position);
    putF32s(out, light.direction);
    putF32s(out, light.up);
    putU32(out, static_cast<std::uint32_t>(light.frames.size()));
    for (const LightFrame& frame : light.frames) putLightFrame(out, frame);
}

}  // namespace content
