// qvtool gen OUTDIR: writes the generated scene (scene.vxs) and the title image (Orrin&Vassel.png)
// into OUTDIR, creating the folder when it is missing. The build runs it into resources/.
//
// The scene is first loaded and checked exactly as the production would; a scene the loader or
// the show's timeline would refuse is not written. Each file is written under a temporary name in
// OUTDIR and then renamed into place, so a reader never sees half a file. Bad usage: exit status
// 2; any failure: one line on stderr and exit status 1. On success one line per file on stdout.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "content/scene_generator.h"
#include "content/title_picture.h"
#include "png/png_encoder.h"
#include "scene/scene_loader.h"
#include "show/timeline.h"
#include "tools/output_file.h"
#include "tools/qvtool_command.h"
#include "cli/arguments.h"

namespace {

const char kGenUsage[] = "gen OUTDIR";

// The loader's and the timeline's verdict on the generated scene, nothing when both accept it.
std::optional<std::string> checkGeneratedScene(const content::SceneFileBytes& scene, SceneData& data) {
    if (auto error = buildSceneData(data, scene, content::kGeneratedSceneName, kSceneTextureSide, TraceSink{})) {
        return error;
    }
    return checkSceneMeetsNeeds(data, kTimelineNeeds, content::kGeneratedSceneName);
}

int failGen(const std::string& message) {
    std::fprintf(stderr, "qvtool gen: %s\n", message.c_str());
    return kFailureStatus;
}

int runGen(int argc, char** argv) {
    if (argc != 2) {
        return refuseUsage("gen", kGenUsage);
    }
    const std::filesystem::path folder(argv[1]);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder, error)) {
        return failGen("cannot create the folder " + inQuotes(folder.string()));
    }

    content::SceneFileBytes scene;
    if (const auto failure = content::generateSceneFile(scene)) {
        return failGen("the scene cannot be generated: " + *failure);
    }
    SceneData data;
    if (const auto refusal = checkGeneratedScene(scene, data)) {
        return failGen("the generated scene is refused: " + *refusal);
    }
    const RgbaImage title = content::drawTitleImage();
    const std::vector<std::uint8_t> png = encodePng(title);
    if (png.empty()) return failGen("the title image cannot be encoded as PNG");

    const std::filesystem::path scenePath = folder / content::kGeneratedSceneName;
    const std::filesystem::path titlePath = folder / content::kGeneratedTitleImageName;
    for (const auto& [path, bytes] : {std::pair{&scenePath, std::as_bytes(std::span(scene))},
                                      std::pair{&titlePath, std::as_bytes(std::span(png))}}) {
        if (!writeFileAtomically(*path, bytes)) return failGen("cannot write " + inQuotes(path->string()));
    }
    std::printf("%s: %zu bytes, %zu meshes, %zu cameras, %zu lights, %zu of %zu texels\n", scenePath.string().c_str(),
                scene.size(), data.meshes.size(), data.cameras.size(), data.lights.size(), data.texelsUsed,
                static_cast<std::size_t>(kSceneTextureSide) * kSceneTextureSide);
    std::printf("%s: %d x %d, %zu bytes\n", titlePath.string().c_str(), title.width, title.height, png.size());
    return std::fflush(stdout) == 0 ? kDoneStatus : kFailureStatus;
}

}  // namespace

QVTOOL_COMMAND(gen, "gen", kGenUsage, runGen);
