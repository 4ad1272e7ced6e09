// qvtool scene FILE [--texels OUT | --stats]: loads a scene file as the production does, prints the
// loader's trace lines to stdout and optionally writes the packed texel array (little-endian
// float32, four per texel, texel order). With --stats it prints instead, per mesh, the shape of the
// hierarchy the production packed: faces, nodes, leaves, the largest leaf, the mean leaf size a
// face sees, the depth, and the leaves the builder could not split further.
//
// Every check of the file applies; an invalid file gives its message on stderr, exit status 1 and
// no other output. A valid file that lacks meshes, cameras or lights the show's timeline uses is
// still loaded: the shortfall is noted on stderr and the status stays 0.
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "scene/bvh_stats.h"
#include "scene/scene_loader.h"
#include "show/timeline.h"
#include "tools/output_file.h"
#include "tools/qvtool_command.h"
#include "cli/arguments.h"

namespace {

// The bad-usage line keeps its established form; the command listing also names --stats.
const char kSceneUsage[] = "scene FILE [--texels OUT]";
const char kSceneListing[] = "scene FILE [--texels OUT | --stats]";

struct SceneArguments {
    const char* file = nullptr;
    const char* texelsOut = nullptr;
    bool stats = false;
};

constexpr OptionRule kOptions[] = {{"--texels", 1}, {"--stats", 0}};

// FILE, then at most one of --texels OUT and --stats.
bool parseSceneArguments(int argc, char** argv, SceneArguments& arguments) {
    if (argc < 2 || argv[1][0] == '-') return false;
    arguments.file = argv[1];
    std::vector<GivenOption> options;
    if (readOptions(std::span(argv + 2, static_cast<std::size_t>(argc - 2)), kOptions, options)) return false;
    if (options.size() > 1) return false;
    for (const GivenOption& option : options) {
        if (option.flag == "--stats") arguments.stats = true;
        if (option.flag == "--texels") arguments.texelsOut = option.value.data();  // values are argv strings
    }
    return true;
}

void printStats(const SceneData& data) {
    std::printf("mesh  faces  nodes  leaves  largest leaf  faces per leaf (by face)  depth  forced leaves\n");
    BvhStats worst;
    std::size_t worstMesh = 0;
    std::uint32_t forced = 0;
    for (std::size_t i = 0; i < data.meshes.size(); ++i) {
        const Mesh& mesh = data.meshes[i];
        const BvhStats s = bvhStats(unpackBvhNodes(data.texels, mesh), static_cast<std::uint32_t>(mesh.face_count));
        const std::uint32_t meshForced = s.leavesWithoutSplit + s.leavesAtDepthLimit;
        std::printf("%4zu %6u %6u %7u %13u %25.2f %6u %6u no split, %u at depth limit\n", i, s.faces, s.nodes,
                    s.leaves, s.largestLeaf, s.faceWeightedLeafFaces, s.depth, s.leavesWithoutSplit,
                    s.leavesAtDepthLimit);
        forced += meshForced;
        if (i == 0 || s.largestLeaf > worst.largestLeaf) {
            worst = s;
            worstMesh = i;
        }
    }
    std::printf("largest leaf: %u faces (mesh %zu); forced leaves: %u\n", worst.largestLeaf, worstMesh, forced);
}

int runScene(int argc, char** argv) {
    SceneArguments arguments;
    if (!parseSceneArguments(argc, argv, arguments)) {
        return refuseUsage("scene", kSceneUsage);
    }
    // The output is checked before the file is read.
    OutputFile texels;
    if (arguments.texelsOut != nullptr && openOutput(texels, arguments.texelsOut)) {
        std::fprintf(stderr, "%s: cannot write the texels\n", arguments.texelsOut);
        return kFailureStatus;
    }
    const std::filesystem::path path(arguments.file);
    std::string message;
    const std::optional<std::vector<char>> file = readSceneFile(path, message);
    if (!file) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return kFailureStatus;
    }
    std::vector<std::string> trace;
    SceneData data;
    const auto keep = [&trace](std::string_view line) { trace.emplace_back(line); };
    if (const auto error = buildSceneData(data, *file, path, kSceneTextureSide, keep)) {
        std::fprintf(stderr, "%s\n", error->c_str());
        return kFailureStatus;
    }
    if (arguments.texelsOut != nullptr) writeFloats(texels, data.texels);
    if (arguments.texelsOut != nullptr && !commitOutput(texels)) {
        std::fprintf(stderr, "%s: cannot write the texels\n", arguments.texelsOut);
        return kFailureStatus;
    }
    if (arguments.stats) {
        printStats(data);
    } else {
        for (const std::string& line : trace) std::fwrite(line.data(), 1, line.size(), stdout);
    }
    if (const auto shortfall = checkSceneMeetsNeeds(data, kTimelineNeeds, path)) {
        std::fprintf(stderr, "note: %s\n", shortfall->c_str());
    }
    return std::fflush(stdout) == 0 ? kDoneStatus : kFailureStatus;
}

}  // namespace

QVTOOL_COMMAND(scene, "scene", kSceneListing, runScene);
