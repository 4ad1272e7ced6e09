// qvtool import SCENE MESH MODEL OUT [--keep-units] [--max-faces N]: writes OUT, which is SCENE
// with mesh MESH's faces, vertices, vertex extras and surface records replaced by MODEL's (any
// file the Open Asset Import Library reads: glTF, OBJ, PLY, ...), and the mesh's transforms and
// every other record kept byte for byte. By default the model is scaled uniformly into the
// replaced mesh's box, standing on its floor and centred across; --keep-units keeps the model's
// own units and origin. --max-faces N simplifies it to at most N faces first. How materials map
// to surface records: tools/model_reading.h.
//
// qvtool import SCENE MODEL --list (or the full form with --list) writes nothing: it lists the
// model's meshes and materials and the scene's meshes with the parts of the show that draw them.
//
// OUT is checked by the production's own loader before it is written. Exit statuses: 2 for a bad
// command line and for a model the scene cannot take (non-finite numbers, a loader refusal, too
// many faces: one line saying which and by how much), 1 for an unreadable SCENE or MODEL (the
// library's message) or an unwritable OUT. Nothing is written unless the whole file is good.
#include <cstdio>
#include <filesystem>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/arguments.h"
#include "scene/scene_loader.h"
#include "show/timeline.h"
#include "tools/model_reading.h"
#include "tools/model_shaping.h"
#include "tools/output_file.h"
#include "tools/qvtool_command.h"
#include "tools/scene_records.h"

namespace {

constexpr char kUsage[] = "import SCENE MESH MODEL OUT [--keep-units] [--max-faces N] | import SCENE MODEL --list";
constexpr OptionRule kOptions[] = {{"--keep-units", 0}, {"--max-faces", 1}, {"--list", 0}};
constexpr std::size_t kSurfaceIndexLimit = 1u << 16;  // the face word's 16 bits

struct ImportRequest {
    std::filesystem::path scene, model, output;
    int mesh = 0;
    bool keepUnits = false;
    bool list = false;
    int maxFaces = 0;  // 0: no simplification
};

std::optional<std::string> parseRequest(int argc, char** argv, ImportRequest& request) {
    int positional = 1;
    while (positional < argc && std::string_view(argv[positional]).rfind("--", 0) != 0) ++positional;
    std::vector<GivenOption> options;
    const std::span<char* const> rest(argv + positional, static_cast<std::size_t>(argc - positional));
    if (auto error = readOptions(rest, kOptions, options)) return error;
    for (const GivenOption& option : options) {
        if (option.flag == "--keep-units") request.keepUnits = true;
        if (option.flag == "--list") request.list = true;
        if (option.flag == "--max-faces" && (!parseWholeNumber(option.value, request.maxFaces) || request.maxFaces < 1)) {
            return "--max-faces takes a whole number of 1 or more, not " + inQuotes(option.value);
        }
    }
    const int words = positional - 1;
    if (request.list && words == 2) {
        request.scene = argv[1];
        request.model = argv[2];
        return std::nullopt;
    }
    if (words != 4) return "SCENE, MESH, MODEL and OUT are needed";
    if (!parseWholeNumber(argv[2], request.mesh) || request.mesh < 0) {
        return "MESH takes a mesh number of 0 or more, not " + inQuotes(argv[2]);
    }
    request.scene = argv[1];
    request.model = argv[3];
    request.output = argv[4];
    return std::nullopt;
}

struct LoadedScene {
    std::vector<char> bytes;
    std::vector<MeshRecordPlace> meshes;
};

// SCENE read and accepted by the loader, or why not.
std::optional<std::string> loadSceneFile(const std::filesystem::path& path, LoadedScene& scene) {
    std::string message;
    auto bytes = readSceneFile(path, message);
    if (!bytes) return message;
    SceneData data;
    if (auto error = buildSceneData(data, *bytes, path, kSceneTextureSide, TraceSink{})) return error;
    auto places = findMeshRecords(*bytes);
    if (!places) return displayName(path) + ": the mesh records cannot be found";
    scene = {std::move(*bytes), std::move(*places)};
    return std::nullopt;
}

std::string timeRange(std::size_t part) {
    char text[64];
    std::snprintf(text, sizeof text, "part %zu (%g to %g s)", part, partStartSeconds(part), partStartSeconds(part + 1));
    return text;
}

void printListing(const Model& model, const std::filesystem::path& modelPath, const LoadedScene& scene,
                  const std::filesystem::path& scenePath) {
    std::printf("model %s: %zu meshes, %zu faces, %zu vertices, %zu materials\n", modelPath.string().c_str(),
                model.parts.size(), model.triangles.size(), model.positions.size(), model.materials.size());
    for (std::size_t i = 0; i < model.parts.size(); ++i) {
        const ModelPart& part = model.parts[i];
        std::printf("  mesh %zu '%s': %zu faces, %zu vertices, material %u\n", i, part.name.c_str(), part.faces,
                    part.vertices, part.material);
    }
    for (std::size_t i = 0; i < model.materials.size(); ++i) {
        const ModelMaterial& m = model.materials[i];
        const auto& a = m.surface.record0;
        const auto& e = m.surface.record1;
        std::printf("  material %zu '%s': albedo (%.3f, %.3f, %.3f)%s, roughness %.3f, emission (%.3f, %.3f, %.3f), "
                    "mirror %.3f, ambient %.3f\n",
                    i, m.name.c_str(), a[0], a[1], a[2], m.textured ? " (its texture's mean)" : "", a[3], e[0], e[1],
                    e[2], e[3], m.ambient);
    }
    std::printf("scene %s: %zu meshes\n", scenePath.string().c_str(), scene.meshes.size());
    for (std::size_t i = 0; i < scene.meshes.size(); ++i) {
        std::string shownIn;
        for (std::size_t p = 0; p < timeline.size(); ++p) {
            const ScenePart& part = timeline[p];
            if (part.camera < 0 || static_cast<int>(i) < part.firstMesh || static_cast<int>(i) > part.lastMesh) continue;
            shownIn += (shownIn.empty() ? "; shown in " : ", ") + timeRange(p);
        }
        std::printf("  mesh %zu: %u faces%s\n", i, scene.meshes[i].faces, shownIn.empty() ? "; not shown" : shownIn.c_str());
    }
}

// When the loader refuses `file` only because the mesh is too large for the scene texture: how
// many faces would fit. Nothing when a larger texture would not take it either.
std::optional<std::string> densityRefusal(const LoadedScene& scene, const MeshRecordPlace& place,
                                          std::span<const char> file, std::size_t faces) {
    SceneData larger;
    int side = 2 * kSceneTextureSide;
    while (buildSceneData(larger, file, "", side, TraceSink{})) {
        if (side >= 4 * kSceneTextureSide) return std::nullopt;
        side *= 2;
    }
    SceneData rest;
    const content::SceneFileBytes without = replaceMeshRecord(scene.bytes, place, content::MeshRecord{});
    if (buildSceneData(rest, without, "", kSceneTextureSide, TraceSink{})) return std::nullopt;
    const std::size_t capacity = std::size_t{kSceneTextureSide} * kSceneTextureSide;
    const std::size_t need = larger.texelsUsed - rest.texelsUsed;
    const std::size_t free = capacity - rest.texelsUsed;
    // Texels grow about in step with faces; a little is kept back for the part that does not.
    const auto fit = static_cast<std::size_t>(static_cast<double>(faces) * static_cast<double>(free) /
                                              static_cast<double>(need) * 0.97);
    return std::to_string(faces) + " faces need " + std::to_string(need) + " texels and the scene texture has " +
           std::to_string(free) + " free: about " + std::to_string(fit / 100 * 100) +
           " faces would fit (--max-faces)";
}

int refuse(const std::filesystem::path& about, const std::string& why, int status) {
    std::fprintf(stderr, "qvtool import: %s: %s\n", about.string().c_str(), why.c_str());
    return status;
}

int runImport(int argc, char** argv) {
    ImportRequest request;
    if (auto error = parseRequest(argc, argv, request)) {
        return refuseUsage("import", kUsage, *error);
    }
    OutputFile output;
    if (!request.list) {
        if (auto error = openOutput(output, request.output)) return refuse(request.output, *error, kFailureStatus);
    }
    LoadedScene scene;
    if (auto error = loadSceneFile(request.scene, scene)) {
        std::fprintf(stderr, "qvtool import: %s\n", error->c_str());
        return kFailureStatus;
    }
    Model model;
    if (auto error = readModel(request.model, model)) return refuse(request.model, *error, kFailureStatus);
    if (request.list) {
        printListing(model, request.model, scene, request.scene);
        return std::fflush(stdout) == 0 ? kDoneStatus : kFailureStatus;
    }
    if (static_cast<std::size_t>(request.mesh) >= scene.meshes.size()) {
        return refuse(request.scene, "has no mesh " + std::to_string(request.mesh) + ", only " +
                                         std::to_string(scene.meshes.size()), kUsageStatus);
    }
    if (auto bad = checkModelNumbers(model)) return refuse(request.model, *bad, kUsageStatus);
    if (model.materials.size() > kSurfaceIndexLimit) {
        return refuse(request.model, std::to_string(model.materials.size()) + " materials, a mesh holds at most " +
                                         std::to_string(kSurfaceIndexLimit), kUsageStatus);
    }
    const std::size_t readFaces = model.triangles.size();
    if (request.maxFaces > 0) simplifyModel(model, static_cast<std::size_t>(request.maxFaces));
    const MeshRecordPlace& place = scene.meshes[static_cast<std::size_t>(request.mesh)];
    if (!request.keepUnits) {
        if (auto error = fitIntoBox(model, place.box)) return refuse(request.model, *error, kUsageStatus);
    }
    const content::MeshRecord record = meshRecordOf(model);
    const content::SceneFileBytes file = replaceMeshRecord(scene.bytes, place, record);
    SceneData data;
    if (auto error = buildSceneData(data, file, request.output, kSceneTextureSide, TraceSink{})) {
        const auto dense = densityRefusal(scene, place, file, record.faces.size());
        return refuse(request.model, dense ? *dense : *error, kUsageStatus);
    }
    const std::set<std::uint32_t> surfaces(model.triangleMaterials.begin(), model.triangleMaterials.end());
    writeBytes(output, std::as_bytes(std::span(file)));
    if (!commitOutput(output)) return refuse(request.output, "cannot write the file", kFailureStatus);
    std::printf("%s: mesh %d is %s: %zu faces (of %zu read), %zu vertices, %zu surfaces; %zu of %zu texels used\n",
                request.output.string().c_str(), request.mesh, request.model.filename().string().c_str(),
                record.faces.size(), readFaces, record.positions.size(), surfaces.size(), data.texelsUsed,
                std::size_t{kSceneTextureSide} * kSceneTextureSide);
    return std::fflush(stdout) == 0 ? kDoneStatus : kFailureStatus;
}

}  // namespace

QVTOOL_COMMAND(import, "import", kUsage, runImport);
