// Runs `qvtool gen` as the build does and checks what it leaves in the folder and its statuses.
#include <gtest/gtest.h>

#include "tests/support/scratch_folder.h"
#include "tests/support/tool_run.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "content/scene_generator.h"

namespace {

namespace fs = std::filesystem;

ToolRun qvtool(const std::vector<std::string>& arguments) { return runTool(QVTOOL_PATH, arguments); }

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

TEST(QvtoolGenTest, CreatesTheFolderAndWritesExactlyTheTwoFiles) {
    const ScratchFolder scratch("gen_tool_new");
    const fs::path& root = scratch.path;
    const fs::path folder = root / "deeper" / "resources";
    const ToolRun run = qvtool({"gen", folder.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(namesIn(folder), (std::set<std::string>{"Orrin&Vassel.png", "scene.vxs"}));
    const content::SceneFileBytes scene = content::generateSceneFile();
    EXPECT_TRUE(slurp(folder / "scene.vxs") == std::string(scene.begin(), scene.end()));
    EXPECT_EQ(slurp(folder / "Orrin&Vassel.png").substr(1, 3), "PNG");
}

TEST(QvtoolGenTest, ReplacesFilesThatAreAlreadyThere) {
    const ScratchFolder scratch("gen_tool_old");
    const fs::path& folder = scratch.path;
    std::ofstream(folder / "scene.vxs") << "stale";
    std::ofstream(folder / "Orrin&Vassel.png") << "stale";
    ASSERT_EQ(qvtool({"gen", folder.string()}).status, 0);
    EXPECT_GT(fs::file_size(folder / "scene.vxs"), 1000u);
    EXPECT_GT(fs::file_size(folder / "Orrin&Vassel.png"), 1000u);
    EXPECT_EQ(namesIn(folder).size(), 2u);
}

TEST(QvtoolGenTest, AFolderThatCannotBeMadeExitsOneWithOneLine) {
    const ScratchFolder scratch("gen_tool_blocked");
    const fs::path& root = scratch.path;
    std::ofstream(root / "file") << "not a folder";
    for (const fs::path& folder : {root / "file", root / "file" / "resources"}) {
        const ToolRun run = qvtool({"gen", folder.string()});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "qvtool gen: cannot create the folder '" + folder.string() + "'\n");
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(namesIn(root), (std::set<std::string>{"file"}));
}

TEST(QvtoolGenTest, BadUsageExitsTwo) {
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{"gen"}, {"gen", "a", "b"}}) {
        const ToolRun run = qvtool(arguments);
        EXPECT_EQ(run.status, 2) << arguments.size();
        EXPECT_EQ(run.err, "usage: qvtool gen OUTDIR\n") << arguments.size();
    }
}

}  // namespace
