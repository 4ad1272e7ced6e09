// Runs `qvtool scene` as a user would and checks its outputs and exit statuses.
#include <gtest/gtest.h>

#include "tests/support/scratch_folder.h"
#include "tests/support/tool_run.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

const std::filesystem::path kCorpus = QV_SCENE_CORPUS_DIR;

ToolRun qvtool(const std::vector<std::string>& arguments) { return runTool(QVTOOL_PATH, arguments); }

TEST(QvtoolSceneTest, PrintsTheTraceAndWritesEveryTexel) {
    const ScratchFolder scratch("scene_tool_texels");
    const std::filesystem::path texels = scratch.path / "texels.bin";
    const ToolRun run = qvtool({"scene", (kCorpus / "valid_one_triangle.vxs").string(), "--texels", texels.string()});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("Mesh 0: vertex_offset=0, face_offset=3, bvh_offset=4, mesh_size=24\n", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("Texture 1024 Total texels used: 8 / 1048576  0.000763% used\n"), std::string::npos);
    EXPECT_EQ(run.err.rfind("note: ", 0), 0u) << "a one-mesh scene is short of the show's needs";
    const std::string bytes = slurp(texels);
    ASSERT_EQ(bytes.size(), 1024u * 1024u * 16u);
    // Texel 1 is the second vertex, (1, 0, 0, extra 0.5); texel 7 the last surface record.
    float texel[4];
    std::memcpy(texel, bytes.data() + 16, 16);
    EXPECT_EQ(std::vector<float>(texel, texel + 4), (std::vector<float>{1, 0, 0, 0.5f}));
    std::memcpy(texel, bytes.data() + 7 * 16, 16);
    EXPECT_EQ(std::vector<float>(texel, texel + 4), (std::vector<float>{1, 0, 0.25f, 1}));
}

TEST(QvtoolSceneTest, AnInvalidFileGivesOneLineExitOneAndNoTexels) {
    const ScratchFolder scratch("scene_tool_none");
    const std::filesystem::path texels = scratch.path / "texels.bin";
    const std::filesystem::path file = kCorpus / "vertex_index_out_of_range.vxs";
    const ToolRun run = qvtool({"scene", file.string(), "--texels", texels.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, file.string() + ": mesh 0, face 1 uses vertex 3 of 3\n");
    EXPECT_FALSE(std::filesystem::exists(texels));
}

TEST(QvtoolSceneTest, StatsDescribeEachMeshHierarchyInsteadOfTheTrace) {
    const ToolRun run = qvtool({"scene", (kCorpus / "valid_one_triangle.vxs").string(), "--stats"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.find("Mesh 0:"), std::string::npos) << "no trace lines";
    EXPECT_NE(run.out.find("\n   0      1      1       1             1                      1.00      0      0 no split, 0 at "
                           "depth limit\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("largest leaf: 1 faces (mesh 0); forced leaves: 0\n"), std::string::npos) << run.out;
}

TEST(QvtoolSceneTest, BadUsageExitsTwo) {
    const ToolRun run = qvtool({"scene", "a", "--out", "b"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "usage: qvtool scene FILE [--texels OUT]\n");
}

}  // namespace
