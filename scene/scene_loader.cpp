// The CPU side of the scene loader: reading, checking, hierarchy building and packing. Nothing
// here touches OpenGL, so the command-line tool and the fuzzer use it as it stands.
#include "scene/scene_loader.h"

#include <algorithm>
#include <bit>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <utility>

#include "scene/bvh.h"
#include "scene/scene_pack.h"

static_assert(std::endian::native == std::endian::little, "the scene file is read in place as little-endian");

namespace {

// Larger files are refused rather than read: no valid scene comes near this.
constexpr std::uint64_t kMaxSceneFileBytes = std::uint64_t{1} << 30;
constexpr int kMaxSceneTextureSide = 16384;

constexpr std::uint64_t kFaceBytes = 16;
constexpr std::uint64_t kPositionBytes = 12;
constexpr std::uint64_t kExtraBytes = 4;
constexpr std::uint64_t kSurfaceRecordBytes = 16;
constexpr std::uint64_t kTransformBytes = 64;
constexpr std::uint64_t kCameraBytes = 52;
constexpr std::uint64_t kLightBytes = 80;
constexpr std::uint64_t kFrameBytes = 64;

// Formats with the C99 conversions (%zu, %llu) on every target, the mingw runtime included.
#if defined(__clang__)
#define QV_FORMAT_CHECK [[gnu::format(printf, 1, 2)]]
#else
#define QV_FORMAT_CHECK [[gnu::format(gnu_printf, 1, 2)]]
#endif

QV_FORMAT_CHECK std::string format(const char* pattern, ...) {
    va_list arguments;
    va_start(arguments, pattern);
    va_list copy;
    va_copy(copy, arguments);
    const int length = std::vsnprintf(nullptr, 0, pattern, copy);
    va_end(copy);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0) std::vsnprintf(text.data(), text.size() + 1, pattern, arguments);
    va_end(arguments);
    return text;
}

using Bytes = const unsigned char*;

// Reading position in the file; every read checks what remains first.
struct Cursor {
    Bytes bytes = nullptr;
    std::uint64_t size = 0;
    std::uint64_t at = 0;
};

std::uint64_t remaining(const Cursor& cursor) { return cursor.size - cursor.at; }

// The next count records of recordSize bytes, or null (cursor unmoved) when the file is too short.
// The count is compared before anything is multiplied, so no count can overflow.
Bytes take(Cursor& cursor, std::uint64_t count, std::uint64_t recordSize) {
    if (count > remaining(cursor) / recordSize) return nullptr;
    Bytes start = cursor.bytes + cursor.at;
    cursor.at += count * recordSize;
    return start;
}

std::uint32_t u32At(Bytes bytes) {
    std::uint32_t value;
    std::memcpy(&value, bytes, 4);
    return value;
}

float f32At(Bytes bytes, std::size_t index = 0) {
    float value;
    std::memcpy(&value, bytes + 4 * index, 4);
    return value;
}

std::array<float, 3> vec3At(Bytes bytes) { return {f32At(bytes, 0), f32At(bytes, 1), f32At(bytes, 2)}; }

// Parsing state shared by the steps of one load.
struct Load {
    std::string name;  // the file as messages show it
    Cursor cursor;
    std::vector<std::string> trace;
};

std::string tooShort(const Load& load, const std::string& what, std::uint64_t count, std::uint64_t recordSize) {
    return format("%s: file too short at offset %llu for %s: %llu bytes needed, %llu remain", load.name.c_str(),
                  static_cast<unsigned long long>(load.cursor.at), what.c_str(),
                  static_cast<unsigned long long>(count * recordSize),
                  static_cast<unsigned long long>(remaining(load.cursor)));
}

// A record count that the remaining bytes cannot hold even with every record at its smallest.
std::string tooManyRecords(const Load& load, std::uint32_t count, const char* records, std::uint64_t smallest) {
    return format("%s: file too short at offset %llu for %u %s of at least %llu bytes each, %llu bytes remain",
                  load.name.c_str(), static_cast<unsigned long long>(load.cursor.at), count, records,
                  static_cast<unsigned long long>(smallest), static_cast<unsigned long long>(remaining(load.cursor)));
}

// Reads one u32 field, or says which field the file ends in.
std::optional<std::string> readCount(Load& load, const std::string& what, std::uint32_t& value) {
    Bytes bytes = take(load.cursor, 1, 4);
    if (bytes == nullptr) return tooShort(load, what, 1, 4);
    value = u32At(bytes);
    return std::nullopt;
}

// Takes count records of recordSize bytes that belong to owner, or says what does not fit.
std::optional<std::string> readBlock(Load& load, const std::string& owner, const char* records, std::uint64_t count,
                                     std::uint64_t recordSize, Bytes& block) {
    block = take(load.cursor, count, recordSize);
    if (block != nullptr) return std::nullopt;
    return tooShort(load, format("%s, %llu %s", owner.c_str(), static_cast<unsigned long long>(count), records), count,
                    recordSize);
}

// Where the parts of one mesh record lie in the file.
struct MeshRecord {
    std::uint32_t faceCount = 0;
    std::uint32_t vertexCount = 0;
    std::uint32_t transformCount = 0;
    Bytes faces = nullptr;
    Bytes positions = nullptr;
    Bytes extras = nullptr;
    Bytes surface0 = nullptr;
    Bytes surface1 = nullptr;
    Bytes transforms = nullptr;
};

std::optional<std::string> readMeshRecord(Load& load, std::size_t index, MeshRecord& mesh) {
    const std::string label = format("mesh %zu", index);
    std::uint32_t ignored = 0;
    std::optional<std::string> error = readCount(load, label + " (first word)", ignored);
    if (!error) error = readCount(load, label + " face count", mesh.faceCount);
    if (!error) error = readBlock(load, label, "faces", mesh.faceCount, kFaceBytes, mesh.faces);
    if (!error) error = readCount(load, label + " vertex count", mesh.vertexCount);
    if (!error) error = readBlock(load, label, "vertex positions", mesh.vertexCount, kPositionBytes, mesh.positions);
    if (!error) error = readBlock(load, label, "vertex extras", mesh.vertexCount, kExtraBytes, mesh.extras);
    if (!error) error = readBlock(load, label, "surface records 0", mesh.faceCount, kSurfaceRecordBytes, mesh.surface0);
    if (!error) error = readBlock(load, label, "surface records 1", mesh.faceCount, kSurfaceRecordBytes, mesh.surface1);
    if (!error) error = readCount(load, label + " transform count", mesh.transformCount);
    if (!error) error = readBlock(load, label, "transforms", mesh.transformCount, kTransformBytes, mesh.transforms);
    return error;
}

// Every face must name vertices and surface records that the mesh has.
std::optional<std::string> checkFaces(const Load& load, std::size_t index, const MeshRecord& mesh) {
    for (std::uint32_t n = 0; n < mesh.faceCount; ++n) {
        Bytes face = mesh.faces + kFaceBytes * n;
        for (int corner = 0; corner < 3; ++corner) {
            const std::uint32_t vertex = u32At(face + 4 * corner);
            if (vertex >= mesh.vertexCount) {
                return format("%s: mesh %zu, face %u uses vertex %u of %u", load.name.c_str(), index, n, vertex,
                              mesh.vertexCount);
            }
        }
        const std::uint32_t surface = u32At(face + 12) >> 16;
        if (surface >= mesh.faceCount) {
            return format("%s: mesh %zu, face %u uses surface record %u of %u", load.name.c_str(), index, n,
                          surface, mesh.faceCount);
        }
    }
    return std::nullopt;
}

MeshBuildRecord makeBuildRecord(const MeshRecord& mesh) {
    MeshBuildRecord record;
    record.faces.resize(mesh.faceCount);
    if (mesh.faceCount > 0) std::memcpy(record.faces.data(), mesh.faces, kFaceBytes * mesh.faceCount);
    record.positions.resize(mesh.vertexCount);
    if (mesh.vertexCount > 0) std::memcpy(record.positions.data(), mesh.positions, kPositionBytes * mesh.vertexCount);
    return record;
}

void traceMesh(Load& load, std::size_t index, const PackedMesh& packed, const MeshBuildRecord& record,
               const Mesh& mesh) {
    const int i = static_cast<int>(index);
    load.trace.push_back(format("Mesh %d: vertex_offset=%d, face_offset=%d, bvh_offset=%d, mesh_size=%d\n", i,
                                packed.vertex_offset, packed.face_offset, packed.bvh_offset, packed.mesh_size));
    load.trace.push_back(format("Mesh %d: vertices=%zu, faces=%zu, bvh=%zu\n", i, record.positions.size(),
                                record.faces.size(), record.nodes.size()));
    load.trace.push_back("Transform matrix:\n");
    const Matrix4& m = mesh.transform;
    for (int row = 0; row < 4; ++row) {
        load.trace.push_back(format("  [%.4f, %.4f, %.4f, %.4f]\n", m[4 * row], m[4 * row + 1], m[4 * row + 2],
                                    m[4 * row + 3]));
    }
}

// Says whether a mesh block of the given counts fits in texels from offset on.
std::optional<std::string> checkCapacity(const Load& load, std::size_t index, const MeshRecord& source,
                                         std::uint64_t nodes, std::span<float> texels, std::size_t offset) {
    const std::uint64_t end = offset + meshBlockFloats(source.vertexCount, source.faceCount, nodes);
    if (end <= texels.size()) return std::nullopt;
    return format("%s: mesh %zu does not fit in the scene texture: the meshes up to it need at least %llu of its %zu "
                  "texels",
                  load.name.c_str(), index, static_cast<unsigned long long>(end / 4), texels.size() / 4);
}

// Builds the mesh's trace tree from its faces in their packed order, appends it to trees and keeps
// its place (counted from the first tree's first texel), root, step limit and box in mesh.
void buildMeshTree(const MeshBuildRecord& record, std::vector<TraceTreeTexel>& trees, Mesh& mesh) {
    const TraceTree tree = buildTraceTree(record);
    mesh.tree_offset = static_cast<std::int32_t>(trees.size() + 3 * std::size_t{tree.pairCount});
    mesh.tree_root = tree.root;
    trees.insert(trees.end(), tree.texels.begin(), tree.texels.end());
    if (!record.nodes.empty()) {
        const BvhNode& root = record.nodes.front();
        mesh.box = {toVec3(root.min), toVec3(root.max)};
    }
}

// Builds, checks against the capacity and packs one mesh at offset; offset then moves past it.
std::optional<std::string> packMeshRecord(Load& load, std::size_t index, const MeshRecord& source,
                                          std::span<float> texels, std::size_t& offset,
                                          std::vector<TraceTreeTexel>& trees, Mesh& mesh) {
    // Without its nodes first, so that a mesh far too large is refused before its hierarchy is built.
    if (auto error = checkCapacity(load, index, source, 0, texels, offset)) return error;
    if (source.faceCount > kTraceTreeFaceLimit) {
        return format("%s: mesh %zu has %u faces, more than the scene program walks in one mesh (%u)",
                      load.name.c_str(), index, source.faceCount, kTraceTreeFaceLimit);
    }
    MeshBuildRecord record = makeBuildRecord(source);
    buildMeshBvh(record);
    if (auto error = checkCapacity(load, index, source, record.nodes.size(), texels, offset)) return error;
    const PackedMesh packed = packMesh(record, texels, offset);
    writeVertexExtras(texels, packed, source.extras, source.vertexCount);
    const PackedSurfaces surfaces = writeSurfaceBlocks(texels, record, packed, offset, source.surface0, source.surface1);
    mesh.vertex_offset = packed.vertex_offset;
    mesh.face_offset = packed.face_offset;
    mesh.bvh_offset = packed.bvh_offset;
    mesh.face_count = static_cast<std::int32_t>(source.faceCount);
    mesh.surface0_offset = surfaces.surface0_offset;
    mesh.surface1_offset = surfaces.surface1_offset;
    offset = surfaces.nextOffset;
    buildMeshTree(record, trees, mesh);

    mesh.transforms.resize(source.transformCount);
    if (source.transformCount > 0) {
        std::memcpy(mesh.transforms.data(), source.transforms, kTransformBytes * source.transformCount);
        mesh.transform = mesh.transforms.front();
    }
    traceMesh(load, index, packed, record, mesh);
    return std::nullopt;
}

std::optional<std::string> readMeshes(Load& load, SceneData& data) {
    std::uint32_t count = 0;
    if (auto error = readCount(load, "the mesh count", count)) return error;
    if (count > kMaxSceneMeshes) {
        return format("%s: %u meshes, the scene holds at most %zu", load.name.c_str(), count, kMaxSceneMeshes);
    }
    data.meshes.reserve(count);
    std::size_t offset = 0;
    for (std::size_t index = 0; index < count; ++index) {
        MeshRecord source;
        std::optional<std::string> error = readMeshRecord(load, index, source);
        if (!error) error = checkFaces(load, index, source);
        Mesh mesh;
        if (!error) error = packMeshRecord(load, index, source, data.texels, offset, data.trees, mesh);
        if (error) return error;
        data.meshes.push_back(std::move(mesh));
    }
    data.texelsUsed = offset / 4;
    // The trees follow the last mesh's block.
    if (data.texelsUsed + data.trees.size() > kExactFloatLimit) {
        return format("%s: the meshes' trace trees would reach texel %zu, past the %u the scene program can name",
                      load.name.c_str(), data.texelsUsed + data.trees.size(), kExactFloatLimit);
    }
    for (Mesh& mesh : data.meshes) mesh.tree_offset += static_cast<std::int32_t>(data.texelsUsed);
    return std::nullopt;
}

Camera cameraFrom(Bytes record) {
    Camera camera;
    camera.fov = f32At(record, 0);
    camera.param1 = f32At(record, 1);
    camera.param2 = f32At(record, 2);
    camera.position = vec3At(record + 12);
    camera.direction = vec3At(record + 24);
    camera.up = vec3At(record + 36);
    return camera;
}

void traceCamera(Load& load, std::size_t index, const Camera& c) {
    load.trace.push_back(format("Camera %d: frames %d position=(%.4f, %.4f, %.4f), direction=(%.4f, %.4f, %.4f), "
                                "up=(%.4f, %.4f, %.4f), fov=%.2f\n",
                                static_cast<int>(index), static_cast<int>(c.frames.size()), c.position[0],
                                c.position[1], c.position[2], c.direction[0], c.direction[1], c.direction[2],
                                c.up[0], c.up[1], c.up[2], c.fov));
}

std::optional<std::string> readCameras(Load& load, SceneData& data) {
    std::uint32_t count = 0;
    if (auto error = readCount(load, "the camera count", count)) return error;
    if (count > remaining(load.cursor) / kCameraBytes) {
        return tooManyRecords(load, count, "cameras", kCameraBytes);
    }
    data.cameras.reserve(count);
    for (std::size_t index = 0; index < count; ++index) {
        Bytes record = nullptr;
        std::uint32_t frameCount = 0;
        Bytes frames = nullptr;
        const std::string label = format("camera %zu", index);
        std::optional<std::string> error = readBlock(load, label, "pose record", 1, kCameraBytes - 4, record);
        if (!error) error = readCount(load, label + " frame count", frameCount);
        if (!error) error = readBlock(load, label, "frames", frameCount, kFrameBytes, frames);
        if (error) return error;
        Camera camera = cameraFrom(record);
        camera.frames.resize(frameCount);
        if (frameCount > 0) std::memcpy(camera.frames.data(), frames, kFrameBytes * frameCount);
        traceCamera(load, index, camera);
        data.cameras.push_back(std::move(camera));
    }
    return std::nullopt;
}

Light lightFrom(Bytes record) {
    Light light;
    light.param0 = f32At(record, 0);
    light.param1 = f32At(record, 1);
    light.param2 = f32At(record, 2);
    light.range = f32At(record, 3);
    light.intensity = f32At(record, 4);
    light.param5 = f32At(record, 5);
    light.color = {f32At(record, 6), f32At(record, 7), f32At(record, 8), f32At(record, 9)};
    light.position = vec3At(record + 40);
    light.direction = vec3At(record + 52);
    light.up = vec3At(record + 64);
    return light;
}

void traceLight(Load& load, std::size_t index, const Light& l) {
    load.trace.push_back(format("Light %d: position=(%.4f, %.4f, %.4f), direction=(%.4f, %.4f, %.4f), "
                                "up=(%.4f, %.4f, %.4f), range=%.2f\n",
                                static_cast<int>(index), l.position[0], l.position[1], l.position[2],
                                l.direction[0], l.direction[1], l.direction[2], l.up[0], l.up[1], l.up[2], l.range));
}

std::optional<std::string> readLights(Load& load, SceneData& data) {
    std::uint32_t count = 0;
    if (auto error = readCount(load, "the light count", count)) return error;
    if (count > remaining(load.cursor) / kLightBytes) {
        return tooManyRecords(load, count, "lights", kLightBytes);
    }
    data.lights.reserve(count);
    for (std::size_t index = 0; index < count; ++index) {
        Bytes record = nullptr;
        std::uint32_t frameCount = 0;
        Bytes frames = nullptr;
        const std::string label = format("light %zu", index);
        std::optional<std::string> error = readBlock(load, label, "pose record", 1, kLightBytes - 4, record);
        if (!error) error = readCount(load, label + " frame count", frameCount);
        if (!error) error = readBlock(load, label, "frames", frameCount, kFrameBytes, frames);
        if (error) return error;
        Light light = lightFrom(record);
        light.frames.resize(frameCount);
        if (frameCount > 0) std::memcpy(light.frames.data(), frames, kFrameBytes * frameCount);
        traceLight(load, index, light);
        data.lights.push_back(std::move(light));
    }
    return std::nullopt;
}

void traceUsage(Load& load, int side, const SceneData& data) {
    const std::size_t capacity = static_cast<std::size_t>(side) * static_cast<std::size_t>(side);
    const float percent = static_cast<float>(data.texelsUsed * 4) / static_cast<float>(capacity * 4) * 100.0f;
    load.trace.push_back(
        format("Texture %d Total texels used: %zu / %zu  %f%% used\n", side, data.texelsUsed, capacity, percent));
    load.trace.push_back(format("Trace trees: %zu texels from texel %zu\n", data.trees.size(), data.texelsUsed));
}

// Rows of side texels that hold the mesh blocks and the trees after them, and never fewer than side.
std::size_t sceneTextureRows(const SceneData& data, int side) {
    const auto width = static_cast<std::size_t>(side);
    return std::max(width, (data.texelsUsed + data.trees.size() + width - 1) / width);
}

std::optional<std::vector<char>> readFileBytes(const std::filesystem::path& path, std::string* why) {
    auto fail = [&](std::string reason) -> std::optional<std::vector<char>> {
        if (why != nullptr) *why = displayName(path) + ": " + reason;
        return std::nullopt;
    };
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) return fail("the file does not exist");
    if (!std::filesystem::is_regular_file(status)) return fail("not a regular file");
    std::ifstream in(path, std::ios::binary);
    if (!in) return fail("the file cannot be opened");
    in.seekg(0, std::ios::end);
    const std::streamoff length = in.tellg();
    if (length < 0) return fail("the file cannot be read");
    if (length == 0) return fail("the file is empty");
    if (static_cast<std::uint64_t>(length) > kMaxSceneFileBytes) {
        return fail(format("the file has %llu bytes, more than the %llu a scene file may have",
                           static_cast<unsigned long long>(length), static_cast<unsigned long long>(kMaxSceneFileBytes)));
    }
    in.seekg(0, std::ios::beg);
    std::vector<char> bytes(static_cast<std::size_t>(length));
    in.read(bytes.data(), length);
    if (in.gcount() != length) return fail("the file cannot be read");
    return bytes;
}

}  // namespace

void discardTraceLine(std::string_view) {}

std::string displayName(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::optional<std::vector<char>> readWholeFile(const std::filesystem::path& path) {
    return readFileBytes(path, nullptr);
}

std::optional<std::vector<char>> readSceneFile(const std::filesystem::path& path, std::string& message) {
    return readFileBytes(path, &message);
}

std::optional<std::string> buildSceneData(SceneData& data, std::span<const char> file,
                                          const std::filesystem::path& name, int side, const TraceSink& sink) {
    Load load;
    load.name = displayName(name);
    if (side < 1 || side > kMaxSceneTextureSide) {
        return format("%s: scene texture side %d is outside 1 to %d", load.name.c_str(), side, kMaxSceneTextureSide);
    }
    if (file.empty()) return load.name + ": the file is empty";
    load.cursor = Cursor{reinterpret_cast<Bytes>(file.data()), file.size(), 0};

    SceneData loaded;
    loaded.texels.assign(static_cast<std::size_t>(side) * static_cast<std::size_t>(side) * 4, 0.0f);
    std::optional<std::string> error = readMeshes(load, loaded);
    if (!error) error = readCameras(load, loaded);
    if (!error) error = readLights(load, loaded);
    if (error) return error;

    if (sceneTextureRows(loaded, side) > static_cast<std::size_t>(kMaxSceneTextureSide)) {
        return format("%s: the meshes and their trace trees need %zu rows of %d texels, more than %d", load.name.c_str(),
                      sceneTextureRows(loaded, side), side, kMaxSceneTextureSide);
    }
    traceUsage(load, side, loaded);
    data = std::move(loaded);
    if (sink) {
        for (const std::string& line : load.trace) sink(line);
    }
    return std::nullopt;
}

std::vector<float> takeSceneTextureTexels(SceneData& data, int side) {
    std::vector<float> texels = std::move(data.texels);
    texels.resize(sceneTextureRows(data, side) * static_cast<std::size_t>(side) * 4, 0.0f);
    if (!data.trees.empty()) std::memcpy(&texels[data.texelsUsed * 4], data.trees.data(), data.trees.size() * 16);
    return texels;
}

std::optional<std::string> checkSceneMeetsNeeds(const SceneData& data, const SceneNeeds& needs,
                                                const std::filesystem::path& name) {
    if (data.meshes.size() >= needs.meshes && data.cameras.size() >= needs.cameras && data.lights.size() >= needs.lights) {
        return std::nullopt;
    }
    return format("%s: the show needs at least %zu meshes, %zu cameras and %zu lights; the file has %zu, %zu and %zu",
                  displayName(name).c_str(), needs.meshes, needs.cameras, needs.lights, data.meshes.size(),
                  data.cameras.size(), data.lights.size());
}
