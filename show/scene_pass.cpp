#include "show/scene_pass.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <limits>
#include <numbers>

#include "gl/gl_api.h"
#include "gl/gl_helpers.h"
#include "gl/screen_size.h"

namespace {

constexpr Vector4 kCameraLightColor = {10.0f, 10.0f, 10.0f, 1.0f};
constexpr Vector4 kZero4 = {0.0f, 0.0f, 0.0f, 0.0f};

// The part's meshes that exist in the scene and fit the uniform arrays: [first, end).
struct MeshRange {
    std::int32_t first;
    std::int32_t end;
};

MeshRange partMeshRange(const Scene& scene, const ScenePart& part) {
    const std::int32_t first = std::max(part.firstMesh, 0);
    const std::int32_t end = std::min(part.lastMesh, meshUniformCount(scene) - 1) + 1;
    return {first, std::max(first, end)};
}

GLint uniformLocation(const Shader& shader, const char* name) {
    return glApi.glGetUniformLocation(shader.program, name);
}

Vector4 point4(Vec3 p) { return {p.x, p.y, p.z, 1.0f}; }

// Writes the frame's meshes' image into the scene's, made at its first frame on a texture unit of
// its own so that the scene data's stays bound.
void uploadMeshImage(Scene& scene, const MeshUniforms& meshes) {
    constexpr int kMeshImageTextureUnit = 4;
    glApi.glActiveTexture(kGlTexture0 + kMeshImageTextureUnit);
    const MeshImageTexels texels = meshImageTexels(meshes);
    if (scene.meshImage.id == -1) {
        scene.meshImage = createTexture(kMeshImageWidth, kMaxSceneMeshes, kTextureFormatRGBA32F, texels.data(), false, 0);
    } else {
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(scene.meshImage.id));
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, kMeshImageWidth, kMaxSceneMeshes, GL_RGBA, GL_FLOAT, texels.data());
    }
}

// A held texture's name; -1 (none held) binds none rather than an invented name.
GLuint boundName(const Texture& texture) { return texture.id == -1 ? 0u : static_cast<GLuint>(texture.id); }

}  // namespace

SceneTextureNames sceneTextureNames(const Scene& scene) {
    return {boundName(scene.texture), boundName(scene.meshImage)};
}

void bindSceneTextures(const SceneTextureNames& names) {
    glApi.glActiveTexture(kGlTexture0 + kSceneDataUnit);
    glBindTexture(GL_TEXTURE_2D, names.data);
    glApi.glBindImageTexture(kSceneImageUnit, names.data, 0, GL_FALSE, 0, kGlReadOnly, kGlRGBA32F);
    glApi.glBindImageTexture(kMeshImageUnit, names.meshImage, 0, GL_FALSE, 0, kGlReadOnly, kGlRGBA32F);
}

void setSceneUnits(const Shader& shader) {
    for (int unit = 0; unit < 3; ++unit) {
        if (shader.hasFixedLocation(unit + 1)) glApi.glUniform1i(unit + 1, unit);
    }
    glApi.glUniform1i(uniformLocation(shader, "scene_data"), kSceneDataUnit);
    glApi.glUniform1i(uniformLocation(shader, "scene_image"), kSceneImageUnit);
    glApi.glUniform1i(uniformLocation(shader, "meshes_image"), kMeshImageUnit);
}

std::int32_t sceneFrameIndex(float t) {
    const float frames = t * 60.0f;
    constexpr float kLimit = 2147483648.0f;  // 2^31
    if (frames >= kLimit) return std::numeric_limits<std::int32_t>::max();
    if (!(frames > -kLimit)) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(frames);
}

float focalFactor(float fov) {
    const float angle = static_cast<float>(static_cast<double>(fov) * std::numbers::pi / 360.0);
    return 1.0f / std::tan(angle);
}

Vector4 frameVector(std::int32_t width, std::int32_t height, float fov, float t) {
    return {static_cast<float>(width), static_cast<float>(height), focalFactor(fov), t};
}

std::array<std::int32_t, 4> scenePartVector(const ScenePart& part) {
    return {part.camera, part.firstMesh, part.lastMesh, std::bit_cast<std::int32_t>(part.duration)};
}

Matrix4 cameraMatrix(const Camera& camera) {
    const Vec3 forward = normalize(toVec3(camera.direction));
    const Vec3 right = normalize(cross(forward, toVec3(camera.up)));
    const Vec3 up = cross(right, forward);
    const Vec3 p = toVec3(camera.position);
    return {right.x,   right.y,   right.z,   0.0f,  //
            up.x,      up.y,      up.z,      0.0f,  //
            forward.x, forward.y, forward.z, 0.0f,  //
            p.x,       p.y,       p.z,       1.0f};
}

std::int32_t meshUniformCount(const Scene& scene) {
    return static_cast<std::int32_t>(std::min(scene.meshes.size(), kMaxSceneMeshes));
}

void advancePartMeshes(Scene& scene, const ScenePart& part, std::int32_t frame) {
    const MeshRange range = partMeshRange(scene, part);
    for (std::int32_t i = range.first; i < range.end; ++i) applyMeshFrame(scene.meshes[static_cast<std::size_t>(i)], frame);
}

std::int32_t lastRecordedUpTo(std::int32_t frame, std::size_t count) {
    if (count == 0) return frame;
    return std::min(frame, static_cast<std::int32_t>(count - 1));
}

void advancePartLights(Scene& scene, const ScenePart& part, std::int32_t frame, PastRecording past) {
    for (const std::int32_t slot : part.lights) {
        if (slot == kCameraLight) continue;  // the camera's light, never a stored one
        if (slot >= 0 && static_cast<std::size_t>(slot) < scene.lights.size()) {
            Light& light = scene.lights[static_cast<std::size_t>(slot)];
            applyLightFrame(light, past == PastRecording::HoldLast ? lastRecordedUpTo(frame, light.frames.size()) : frame);
        }
    }
}

void advanceSceneTo(Scene& scene, const ScenePart& part, float t) {
    const std::int32_t frame = sceneFrameIndex(t);
    scene.frame = frame;
    applyCameraFrame(scene.cameras[static_cast<std::size_t>(part.camera)], frame);
    advancePartMeshes(scene, part, frame);
    advancePartLights(scene, part, frame);
    scene.flash = partFlash(part, t, scene.flash);
}

Box3 worldBox(const Box3& box, const Matrix4& m) {
    constexpr float kHuge = std::numeric_limits<float>::max();
    Box3 out{{kHuge, kHuge, kHuge}, {-kHuge, -kHuge, -kHuge}};
    for (int corner = 0; corner < 8; ++corner) {
        const Vec3 q = transformPoint(m, {(corner & 1) != 0 ? box.high.x : box.low.x,
                                          (corner & 2) != 0 ? box.high.y : box.low.y,
                                          (corner & 4) != 0 ? box.high.z : box.low.z});
        out.low = {std::min(out.low.x, q.x), std::min(out.low.y, q.y), std::min(out.low.z, q.z)};
        out.high = {std::max(out.high.x, q.x), std::max(out.high.y, q.y), std::max(out.high.z, q.z)};
    }
    return out;
}

MeshUniforms meshUniforms(const Scene& scene, const ScenePart& part) {
    MeshUniforms out;
    out.info = {};
    out.surface = {};
    out.transforms = {};
    out.inverses.fill(kIdentityMatrix);
    out.lows = {};
    out.highs = {};
    out.trees = {};
    const MeshRange range = partMeshRange(scene, part);
    for (std::int32_t i = range.first; i < range.end; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        const Mesh& mesh = scene.meshes[slot];
        out.info[slot] = {mesh.vertex_offset, mesh.face_offset, mesh.bvh_offset, mesh.face_count};
        out.surface[slot] = {mesh.surface0_offset, mesh.surface1_offset, 0, 0};
        out.transforms[slot] = mesh.transform;
        out.inverses[slot] = inverse4x4(mesh.transform);
        out.trees[slot] = {mesh.tree_offset, mesh.tree_root};
        const Box3 box = worldBox(mesh.box, mesh.transform);
        out.lows[slot] = point4(box.low);
        out.highs[slot] = point4(box.high);
    }
    return out;
}

MeshImageTexels meshImageTexels(const MeshUniforms& meshes) {
    MeshImageTexels texels{};
    for (std::size_t mesh = 0; mesh < kMaxSceneMeshes; ++mesh) {
        Vector4* row = &texels[mesh * kMeshImageWidth];
        const Matrix4& m = meshes.inverses[mesh];
        for (std::size_t r = 0; r < 3; ++r) row[r] = {m[r], m[4 + r], m[8 + r], m[12 + r]};
        row[kMeshImageLowTexel] = meshes.lows[mesh];
        row[kMeshImageHighTexel] = meshes.highs[mesh];
        const std::array<std::int32_t, 4>& info = meshes.info[mesh];
        const std::array<std::int32_t, 2>& tree = meshes.trees[mesh];
        row[kMeshImageInfoTexel] = {static_cast<float>(info[0]), static_cast<float>(info[1]),
                                    static_cast<float>(tree[0]), static_cast<float>(tree[1])};
        for (std::size_t i = 0; i < 4; ++i) row[kMeshImageSurfaceTexel][i] = static_cast<float>(meshes.surface[mesh][i]);
    }
    return texels;
}

Vector4 partFlash(const ScenePart& part, float t, const Vector4& current) {
    const float fadeInLength = part.fadeIn[3];
    const float fadeOutLength = part.fadeOut[3];
    if (fadeInLength > t) {
        return {part.fadeIn[0], part.fadeIn[1], part.fadeIn[2], 1.0f - t / fadeInLength};
    }
    if (t > part.duration - fadeOutLength) {
        return {part.fadeOut[0], part.fadeOut[1], part.fadeOut[2], 1.0f - (part.duration - t) / fadeOutLength};
    }
    return current;
}

PartLights partLights(const Scene& scene, const ScenePart& part, const Camera& camera) {
    PartLights result{};
    for (std::size_t s = 0; s < part.lights.size(); ++s) {
        const std::int32_t slot = part.lights[s];
        if (slot == kCameraLight) {
            const Vec3 p = toVec3(camera.position);
            const Vec3 up = toVec3(camera.up);
            result.positions[s] = {p.x + 0.5f * up.x, p.y + 0.5f * up.y, p.z, 1.0f};
            result.colors[s] = kCameraLightColor;
        } else if (slot < 0 || static_cast<std::size_t>(slot) >= scene.lights.size()) {
            result.positions[s] = kZero4;
            result.colors[s] = kZero4;
        } else {
            const Light& light = scene.lights[static_cast<std::size_t>(slot)];
            const Vec3 p = toVec3(light.position);
            const float k = light.intensity;
            result.positions[s] = {p.x, p.y, p.z, 1.0f};
            result.colors[s] = {k * light.color[0], k * light.color[1], k * light.color[2], 1.0f};
        }
    }
    return result;
}

bool setSceneUniforms(Scene& scene, const ScenePart& part, float t, const Shader& shader) {
    if (part.camera < 0 || static_cast<std::size_t>(part.camera) >= scene.cameras.size()) return false;
    advanceSceneTo(scene, part, t);

    const Camera& camera = scene.cameras[static_cast<std::size_t>(part.camera)];
    const Vector4 frameValues = frameVector(screenWidth, screenHeight, camera.fov, t);
    const Matrix4 cameraValues = cameraMatrix(camera);
    const GLsizei meshCount = meshUniformCount(scene);
    const std::array<std::int32_t, 4> partValues = scenePartVector(part);
    const PartLights lights = partLights(scene, part, camera);

    const MeshUniforms meshes = meshUniforms(scene, part);
    uploadMeshImage(scene, meshes);
    bindSceneTextures(sceneTextureNames(scene));
    glApi.glUseProgram(shader.program);
    // The fixed location only where the program has it: setting one it lacks is an error.
    if (shader.hasFixedLocation(0)) glApi.glUniform4fv(0, 1, frameValues.data());
    setSceneUnits(shader);
    glApi.glUniform4iv(uniformLocation(shader, "scene_part"), 1, partValues.data());
    glApi.glUniform4iv(uniformLocation(shader, "meshes_info"), meshCount, meshes.info[0].data());
    glApi.glUniform4iv(uniformLocation(shader, "meshes_surface"), meshCount, meshes.surface[0].data());
    glApi.glUniformMatrix4fv(uniformLocation(shader, "meshes_tx"), meshCount, GL_FALSE,
                             meshes.transforms[0].data());
    glApi.glUniformMatrix4fv(uniformLocation(shader, "meshes_itx"), meshCount, GL_FALSE,
                             meshes.inverses[0].data());
    glApi.glUniform4fv(uniformLocation(shader, "meshes_low"), meshCount, meshes.lows[0].data());
    glApi.glUniform4fv(uniformLocation(shader, "meshes_high"), meshCount, meshes.highs[0].data());
    glApi.glUniformMatrix4fv(uniformLocation(shader, "camera"), 1, GL_FALSE, cameraValues.data());
    glApi.glUniform4fv(uniformLocation(shader, "flash"), 1, scene.flash.data());
    glApi.glUniform4fv(uniformLocation(shader, "light_positions"), 4, lights.positions[0].data());
    glApi.glUniform4fv(uniformLocation(shader, "light_colors"), 4, lights.colors[0].data());

    drawFullScreenRect();
    return true;
}
