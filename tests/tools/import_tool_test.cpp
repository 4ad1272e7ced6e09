// Runs `qvtool import` on models the project did not make (Debian's assimp-testmodels) into the
// generated scene, and reads what it wrote back with the production's loader.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "scene/scene_loader.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/tool_run.h"

namespace {

const std::filesystem::path kModels = "/usr/share/assimp/models";
const std::filesystem::path kScene = std::filesystem::path(QV_SOURCE_DIR) / "resources/scene.vxs";
constexpr int kPlazaMesh = 10;

ToolRun qvtool(const std::vector<std::string>& arguments) { return runTool(QVTOOL_PATH, arguments); }

struct Loaded {
    std::string bytes;
    SceneData data;
};

Loaded load(const std::filesystem::path& path) {
    Loaded loaded{slurp(path), {}};
    const auto error = buildSceneData(loaded.data, loaded.bytes, path, kSceneTextureSide, TraceSink{});
    EXPECT_FALSE(error) << *error;
    return loaded;
}

std::array<float, 4> texel(const SceneData& data, std::int32_t index) {
    const float* t = data.texels.data() + 4 * static_cast<std::size_t>(index);
    return {t[0], t[1], t[2], t[3]};
}

// The box of the positions a mesh's faces use, as the loader packed them: {min, max}.
std::array<std::array<float, 3>, 2> usedBox(const SceneData& data, int mesh) {
    const Mesh& m = data.meshes[static_cast<std::size_t>(mesh)];
    std::array<std::array<float, 3>, 2> box{{{1e30f, 1e30f, 1e30f}, {-1e30f, -1e30f, -1e30f}}};
    for (std::int32_t f = 0; f < m.face_count; ++f) {
        const auto face = texel(data, m.face_offset + f);
        for (int c = 0; c < 3; ++c) {
            const auto p = texel(data, m.vertex_offset + static_cast<std::int32_t>(face[static_cast<std::size_t>(c)]));
            for (std::size_t a = 0; a < 3; ++a) {
                box[0][a] = std::min(box[0][a], p[a]);
                box[1][a] = std::max(box[1][a], p[a]);
            }
        }
    }
    return box;
}

std::size_t commonPrefix(const std::string& a, const std::string& b) {
    return static_cast<std::size_t>(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin());
}
std::size_t commonSuffix(const std::string& a, const std::string& b) {
    return static_cast<std::size_t>(std::mismatch(a.rbegin(), a.rend(), b.rbegin(), b.rend()).first - a.rbegin());
}

TEST(QvtoolImportTest, AGltfAnObjAndAPlyModelEachReplaceAPlazaMeshInsideItsBox) {
    ASSERT_TRUE(std::filesystem::exists(kModels)) << "install the Debian package assimp-testmodels";
    const Loaded scene = load(kScene);
    const auto room = usedBox(scene.data, kPlazaMesh);
    struct Case {
        std::string model;
        std::int32_t faces;  // as the library triangulates the file
        std::size_t surfaces;  // distinct records: the truck's body and wheels share one texture
    };
    for (const Case& c : {Case{"glTF/CesiumMilkTruck/CesiumMilkTruck.gltf", 3624, 3}, Case{"OBJ/spider.obj", 1368, 4},
                          Case{"PLY/Wuson.ply", 3732, 1}}) {
        SCOPED_TRACE(c.model);
        const ScratchFolder scratch("import");
        const std::filesystem::path out = scratch.path / "out.vxs";
        const ToolRun run = qvtool({"import", kScene.string(), std::to_string(kPlazaMesh), (kModels / c.model).string(),
                                    out.string()});
        ASSERT_EQ(run.status, 0) << run.err;
        const Loaded imported = load(out);
        ASSERT_EQ(imported.data.meshes.size(), scene.data.meshes.size());
        const Mesh& mesh = imported.data.meshes[kPlazaMesh];
        EXPECT_EQ(mesh.face_count, c.faces);
        EXPECT_EQ(mesh.transforms, scene.data.meshes[kPlazaMesh].transforms);

        // Inside the old box, standing on its floor, and filling it along one axis at least.
        const auto box = usedBox(imported.data, kPlazaMesh);
        float filled = 0.0f;
        for (std::size_t a = 0; a < 3; ++a) {
            const float slack = 1e-4f * (room[1][a] - room[0][a]) + 1e-5f;
            EXPECT_GE(box[0][a], room[0][a] - slack);
            EXPECT_LE(box[1][a], room[1][a] + slack);
            filled = std::max(filled, (box[1][a] - box[0][a]) / (room[1][a] - room[0][a]));
        }
        EXPECT_NEAR(box[0][1], room[0][1], 1e-3f);
        EXPECT_NEAR(filled, 1.0f, 1e-3f);

        // Each face's records are one of the materials its faces use.
        std::set<std::array<float, 4>> albedos;
        for (std::int32_t f = 0; f < mesh.face_count; ++f) albedos.insert(texel(imported.data, mesh.surface0_offset + f));
        EXPECT_EQ(albedos.size(), c.surfaces);

        // Every byte outside the replaced record's faces, vertices and surfaces is the scene's own.
        const auto vertices = static_cast<std::size_t>(mesh.face_offset - mesh.vertex_offset);
        const std::size_t replaced = 12 + 48 * static_cast<std::size_t>(mesh.face_count) + 16 * vertices;
        EXPECT_GE(commonPrefix(imported.bytes, scene.bytes) + commonSuffix(imported.bytes, scene.bytes) + replaced,
                  imported.bytes.size());
    }
}

TEST(QvtoolImportTest, MaterialsBecomeSurfaceRecordsAsTheFileGivesThem) {
    const ScratchFolder scratch("import_materials");
    const std::filesystem::path out = scratch.path / "truck.vxs";
    ASSERT_EQ(qvtool({"import", kScene.string(), "3", (kModels / "glTF/CesiumMilkTruck/CesiumMilkTruck.gltf").string(),
                      out.string()})
                  .status,
              0);
    const Loaded imported = load(out);
    const Mesh& mesh = imported.data.meshes[3];
    // The glass's diffuse colour is written in the file as (0, 0.0405063, 0.0212407); it has no texture.
    bool glass = false;
    for (std::int32_t f = 0; f < mesh.face_count && !glass; ++f) {
        const auto albedo = texel(imported.data, mesh.surface0_offset + f);
        glass = albedo[0] == 0.0f && albedo[1] == 0.0405063f && albedo[2] == 0.0212407f;
    }
    EXPECT_TRUE(glass);
}

TEST(QvtoolImportTest, BrokenAndOversizedModelsAreRefusedWithNothingWritten) {
    const ScratchFolder scratch("import_refused");
    const std::filesystem::path out = scratch.path / "out.vxs";
    struct Case {
        std::string model;
        int status;
        std::string says;
    };
    for (const Case& c : {Case{"invalid/malformed.obj", 1, "OBJ: Invalid face index."},
                          Case{"invalid/empty.ply", 1, "is empty"},
                          Case{"glTF2/BoxWithInfinites-glTF-Binary/BoxWithInfinites.glb", 2, "are not finite numbers"}}) {
        const ToolRun run = qvtool({"import", kScene.string(), "10", (kModels / c.model).string(), out.string()});
        EXPECT_EQ(run.status, c.status) << c.model;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_TRUE(entriesOf(scratch.path).empty()) << c.model;
    }
    EXPECT_EQ(qvtool({"import", kScene.string(), "24", (kModels / "PLY/Wuson.ply").string(), out.string()}).status, 2);
}

TEST(QvtoolImportTest, ADenseModelTakesTheFreeSpaceThenASecondFitsWithTheFaceCountItsRefusalNames) {
    const ScratchFolder scratch("import_dense");
    const std::filesystem::path once = scratch.path / "once.vxs", twice = scratch.path / "twice.vxs";
    const std::string engine = (kModels / "glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb").string();
    ASSERT_EQ(qvtool({"import", kScene.string(), "10", engine, once.string()}).status, 0);
    EXPECT_EQ(load(once).data.meshes[10].face_count, 121496);

    const ToolRun refused = qvtool({"import", once.string(), "5", engine, twice.string()});
    EXPECT_EQ(refused.status, 2);
    EXPECT_FALSE(std::filesystem::exists(twice));
    const std::size_t about = refused.err.find("about ");
    ASSERT_NE(about, std::string::npos) << refused.err;
    const int fit = std::stoi(refused.err.substr(about + 6));
    const ToolRun run = qvtool({"import", once.string(), "5", engine, twice.string(), "--max-faces", std::to_string(fit)});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::int32_t faces = load(twice).data.meshes[5].face_count;
    EXPECT_LE(faces, fit);
    EXPECT_GT(faces, fit * 9 / 10) << "the simplifier reaches close to its budget";
}

TEST(QvtoolImportTest, TheListingNamesTheModelsPartsAndTheMeshesEachPartShows) {
    const ToolRun run = qvtool({"import", kScene.string(), (kModels / "OBJ/spider.obj").string(), "--list"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find(": 19 meshes, 1368 faces, 946 vertices, 6 materials\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("  material 1 'Skin': albedo ("), std::string::npos);
    const std::int32_t faces = load(kScene).data.meshes[10].face_count;
    EXPECT_NE(run.out.find("  mesh 10: " + std::to_string(faces) + " faces; shown in part 4 (70 to 110 s)\n"),
              std::string::npos)
        << run.out;
}

}  // namespace
