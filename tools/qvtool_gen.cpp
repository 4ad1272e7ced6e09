// qvtool gen OUTDIR: writes the generated scene (scene.vxs) and the title image (Orrin&Vassel.png)
// into OUTDIR, creating the folder when it is missing. The build runs it into resources/.
//
// The scene is first loaded and checked exactly as the production would; a scene the loader or
// the show's timeline would refuse is not written. Each file is written under a temporary name in
// OUTDIR and then renamed into place, so a reader never sees half a file. Bad usage: exit status
// 2; any failure: one line on stderr and exit status 1. On success one line per file on stdout.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "content/png_encoder.h"
#include "content/scene_generator.h"
#include "content/title_picture.h"
#include "scene/scene_loader.h"
#include "show/timeline.h"
#include "tools/qvtool_command.h"

namespace {

const char kGenUsage[] = "gen OUTDIR";

// A name beside path that no other run uses at the same time (several build folders may
// generate into the same resources folder at once).
std::filesystem::path temporaryNameFor(const std::filesystem::path& path) {
    const auto ticks = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    std::filesystem::path temporary = path;
    temporary += ".partial-" + std::to_string(ticks ^ std::random_device{}());
    return temporary;
}

// Writes bytes to path through a temporary file beside it. On failure says why and leaves
// neither the temporary file nor a changed path behind.
std::optional<std::string> writeFileInPlace(const std::filesystem::path& path, std::span<const std::byte> bytes) {
    const std::filesystem::path temporary = temporaryNameFor(path);
    bool written = false;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (out) {
            out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            out.close();
            written = static_cast<bool>(out);
        }
    }
    std::error_code error;
    if (written) {
        std::filesystem::rename(temporary, path, error);
        if (!error) return std::nullopt;
    }
    std::filesystem::remove(temporary, error);
    return path.string() + ": cannot write the file";
}

// The loader's and the timeline's verdict on the generated scene, nothing when both accept it.
std::optional<std::string> checkGeneratedScene(const content::SceneFileBytes& scene, SceneData& data) {
    if (auto error = buildSceneData(data, scene, content::kGeneratedSceneName, kSceneTextureSide, TraceSink{})) {
        return error;
    }
    return checkSceneMeetsNeeds(data, kTimelineNeeds, content::kGeneratedSceneName);
}

int runGen(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qvtool %s\n", kGenUsage);
        return 2;
    }
    const std::filesystem::path folder(argv[1]);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder, error)) {
        std::fprintf(stderr, "%s: cannot create the folder\n", folder.string().c_str());
        return 1;
    }

    const content::SceneFileBytes scene = content::generateSceneFile();
    SceneData data;
    if (const auto refusal = checkGeneratedScene(scene, data)) {
        std::fprintf(stderr, "the generated scene is refused: %s\n", refusal->c_str());
        return 1;
    }
    const content::RgbaImage title = content::drawTitleImage();
    const std::vector<std::uint8_t> png = content::encodePng(title);
    if (png.empty()) {
        std::fprintf(stderr, "the title image cannot be encoded as PNG\n");
        return 1;
    }

    const std::filesystem::path scenePath = folder / content::kGeneratedSceneName;
    const std::filesystem::path titlePath = folder / content::kGeneratedTitleImageName;
    for (const auto& [path, bytes] : {std::pair{&scenePath, std::as_bytes(std::span(scene))},
                                      std::pair{&titlePath, std::as_bytes(std::span(png))}}) {
        if (const auto failure = writeFileInPlace(*path, bytes)) {
            std::fprintf(stderr, "%s\n", failure->c_str());
            return 1;
        }
    }
    std::printf("%s: %zu bytes, %zu meshes, %zu cameras, %zu lights, %zu of %zu texels\n", scenePath.string().c_str(),
                scene.size(), data.meshes.size(), data.cameras.size(), data.lights.size(), data.texelsUsed,
                static_cast<std::size_t>(kSceneTextureSide) * kSceneTextureSide);
    std::printf("%s: %d x %d, %zu bytes\n", titlePath.string().c_str(), title.width, title.height, png.size());
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

QVTOOL_COMMAND(gen, "gen", kGenUsage, runGen);
