// qvtool scene FILE [--texels OUT]: loads a scene file as the production does, prints the loader's
// trace lines to stdout and optionally writes the packed texel array (little-endian float32, four
// per texel, texel order).
//
// Every check of the file applies; an invalid file gives its message on stderr, exit status 1 and
// no other output. A valid file that lacks meshes, cameras or lights the show's timeline uses is
// still loaded: the shortfall is noted on stderr and the status stays 0.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "scene/scene_loader.h"
#include "show/timeline.h"
#include "tools/output_file.h"
#include "tools/qvtool_command.h"

namespace {

const char kSceneUsage[] = "scene FILE [--texels OUT]";

struct SceneArguments {
    const char* file = nullptr;
    const char* texelsOut = nullptr;
};

bool parseSceneArguments(int argc, char** argv, SceneArguments& arguments) {
    if (argc == 2) {
        arguments.file = argv[1];
        return true;
    }
    if (argc == 4 && std::strcmp(argv[2], "--texels") == 0) {
        arguments.file = argv[1];
        arguments.texelsOut = argv[3];
        return true;
    }
    return false;
}

int runScene(int argc, char** argv) {
    SceneArguments arguments;
    if (!parseSceneArguments(argc, argv, arguments)) {
        std::fprintf(stderr, "usage: qvtool %s\n", kSceneUsage);
        return 2;
    }
    const std::filesystem::path path(arguments.file);
    std::string message;
    const std::optional<std::vector<char>> file = readSceneFile(path, message);
    if (!file) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return 1;
    }
    std::vector<std::string> trace;
    SceneData data;
    const auto keep = [&trace](std::string_view line) { trace.emplace_back(line); };
    if (const auto error = buildSceneData(data, *file, path, kSceneTextureSide, keep)) {
        std::fprintf(stderr, "%s\n", error->c_str());
        return 1;
    }
    if (arguments.texelsOut != nullptr && !writeFloatsInPlace(arguments.texelsOut, data.texels)) {
        std::fprintf(stderr, "%s: cannot write the texels\n", arguments.texelsOut);
        return 1;
    }
    for (const std::string& line : trace) std::fwrite(line.data(), 1, line.size(), stdout);
    if (const auto shortfall = checkSceneMeetsNeeds(data, kTimelineNeeds, path)) {
        std::fprintf(stderr, "note: %s\n", shortfall->c_str());
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

QVTOOL_COMMAND(scene, "scene", kSceneUsage, runScene);
