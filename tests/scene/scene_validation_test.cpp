#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "scene/scene_loader.h"
#include "tests/scene/scene_file_builder.h"
#include "tests/support/scratch_folder.h"

namespace {

using namespace scene_test;

const std::filesystem::path kCorpus = QV_SCENE_CORPUS_DIR;

// Loads bytes expecting a rejection; checks that nothing was traced or filled.
std::string rejection(const Bytes& file, const std::filesystem::path& name = "resources/scene.vxs", int side = 1024) {
    SceneData data;
    data.cameras.resize(3);
    int traced = 0;
    const auto error = buildSceneData(data, file, name, side, [&](std::string_view) { ++traced; });
    EXPECT_EQ(traced, 0);
    EXPECT_EQ(data.cameras.size(), 3u) << "a failed load leaves its output alone";
    EXPECT_TRUE(data.texels.empty());
    return error.value_or("(accepted)");
}

std::optional<std::string> tryLoad(const Bytes& file, int side = 1024) {
    SceneData data;
    return buildSceneData(data, file, "s.vxs", side, discardTraceLine);
}

Bytes readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Every malformed file of the corpus and the message it gets; files found by fuzzing go here too.
const std::map<std::string, std::string> kMalformed = {
    {"empty.vxs", "the file is empty"},
    {"short_mesh_count.vxs", "file too short at offset 0 for the mesh count: 4 bytes needed, 2 remain"},
    {"huge_mesh_count.vxs", "4294967295 meshes, the scene holds at most 32"},
    {"too_many_meshes.vxs", "33 meshes, the scene holds at most 32"},
    {"huge_face_count.vxs",
     "file too short at offset 12 for mesh 0, 4294967295 faces: 68719476720 bytes needed, 32 remain"},
    {"huge_vertex_count.vxs",
     "file too short at offset 16 for mesh 0, 4294967295 vertex positions: 51539607540 bytes needed, 32 remain"},
    {"short_surface_records.vxs",
     "file too short at offset 96 for mesh 0, 1 surface records 1: 16 bytes needed, 8 remain"},
    {"huge_transform_count.vxs",
     "file too short at offset 20 for mesh 0, 4294967295 transforms: 274877906880 bytes needed, 64 remain"},
    {"missing_camera_count.vxs", "file too short at offset 20 for the camera count: 4 bytes needed, 0 remain"},
    {"huge_camera_count.vxs",
     "file too short at offset 8 for 4294967295 cameras of at least 52 bytes each, 80 bytes remain"},
    {"huge_camera_frame_count.vxs",
     "file too short at offset 60 for camera 0, 4294967295 frames: 274877906880 bytes needed, 64 remain"},
    {"missing_light_count.vxs", "file too short at offset 60 for the light count: 4 bytes needed, 0 remain"},
    {"huge_light_count.vxs",
     "file too short at offset 12 for 4294967295 lights of at least 80 bytes each, 80 bytes remain"},
    {"short_light_record.vxs", "file too short at offset 12 for 1 lights of at least 80 bytes each, 40 bytes remain"},
    {"huge_light_frame_count.vxs",
     "file too short at offset 92 for light 0, 67108864 frames: 4294967296 bytes needed, 64 remain"},
    {"vertex_index_out_of_range.vxs", "mesh 0, face 1 uses vertex 3 of 3"},
    {"surface_index_out_of_range.vxs", "mesh 0, face 1 uses surface record 2 of 2"},
};

TEST(SceneCorpusTest, EveryMalformedFileIsRejectedWithItsMessageAndEveryValidOneLoads) {
    int malformed = 0, valid = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kCorpus)) {
        if (entry.path().extension() != ".vxs") continue;
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        const Bytes file = readBytes(entry.path());
        if (name.rfind("valid_", 0) == 0) {
            const auto error = tryLoad(file);
            EXPECT_FALSE(error) << *error;
            ++valid;
            continue;
        }
        const auto expected = kMalformed.find(name);
        ASSERT_NE(expected, kMalformed.end()) << "corpus file without an expected message";
        EXPECT_EQ(rejection(file, name), name + ": " + expected->second);
        ++malformed;
    }
    EXPECT_EQ(malformed, static_cast<int>(kMalformed.size()));
    EXPECT_GT(valid, 0);
}

// A mesh record of vertexCount zero vertices whose faces are given.
TestMesh meshWithFaces(std::uint32_t vertexCount, std::vector<TestFace> faces) {
    TestMesh mesh;
    mesh.positions.assign(vertexCount, {0, 0, 0});
    mesh.extras.assign(vertexCount, 0);
    mesh.faces = std::move(faces);
    mesh.surface0.assign(mesh.faces.size(), {});
    mesh.surface1.assign(mesh.faces.size(), {});
    return mesh;
}

TEST(SceneValidationTest, FaceIndicesMustStayBelowTheVertexAndFaceCounts) {
    std::vector<TestMesh> meshes(4, meshWithFaces(3, {{0, 1, 2, 0}}));
    std::vector<TestFace> faces(20, TestFace{0, 1, 2, 0});
    faces[17] = {5, 912, 7, 0};
    meshes[3] = meshWithFaces(640, faces);
    EXPECT_EQ(rejection(meshesOnlyFile(meshes)), "resources/scene.vxs: mesh 3, face 17 uses vertex 912 of 640");

    meshes[3] = meshWithFaces(640, {{0, 1, 639, 0}, {639, 0, 640, 0}});
    EXPECT_EQ(rejection(meshesOnlyFile(meshes)), "resources/scene.vxs: mesh 3, face 1 uses vertex 640 of 640");

    // The surface index is the high half of the fourth word; the low half is ignored.
    meshes[3] = meshWithFaces(3, {{0, 1, 2, 0x0001FFFF}, {0, 1, 2, 0x0002FFFF}});
    EXPECT_EQ(rejection(meshesOnlyFile(meshes)), "resources/scene.vxs: mesh 3, face 1 uses surface record 2 of 2");
    meshes[3] = meshWithFaces(3, {{0, 1, 2, 0x0001FFFF}, {2, 1, 0, 0x0000FFFF}});
    EXPECT_FALSE(tryLoad(meshesOnlyFile(meshes)));
}

TEST(SceneValidationTest, MeshesMustFitTheTexture) {
    // One triangle takes 8 texels, so a side of 4 holds two of them exactly.
    const TestMesh triangle = meshWithFaces(3, {{0, 1, 2, 0}});
    EXPECT_FALSE(tryLoad(meshesOnlyFile({triangle, triangle}), 4));
    // Five vertices, a face and two surface texels would just fit; the root node's two do not.
    EXPECT_EQ(rejection(meshesOnlyFile({triangle, meshWithFaces(5, {{0, 1, 4, 0}})}), "a.vxs", 4),
              "a.vxs: mesh 1 does not fit in the scene texture: the meshes up to it need at least 18 of its 16 texels");
    EXPECT_EQ(rejection(meshesOnlyFile({meshWithFaces(17, {})}), "a.vxs", 4),
              "a.vxs: mesh 0 does not fit in the scene texture: the meshes up to it need at least 18 of its 16 texels");
}

TEST(SceneValidationTest, AtMostThirtyTwoMeshes) {
    EXPECT_FALSE(tryLoad(meshesOnlyFile(std::vector<TestMesh>(32))));
    EXPECT_EQ(rejection(meshesOnlyFile(std::vector<TestMesh>(33))),
              "resources/scene.vxs: 33 meshes, the scene holds at most 32");
}

TEST(SceneValidationTest, EveryTruncationOfAValidFileIsRejected) {
    Bytes file;
    putU32(file, 1);
    TestMesh mesh = meshWithFaces(3, {{0, 1, 2, 0}});
    mesh.transforms.resize(1);
    putMesh(file, mesh);
    putU32(file, 1);
    putCamera(file, {}, 1);
    putU32(file, 1);
    putLight(file, {}, 1);
    ASSERT_FALSE(tryLoad(file, 4));
    for (std::size_t size = 0; size < file.size(); ++size) {
        const Bytes shorter(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_TRUE(tryLoad(shorter, 4)) << size << " bytes accepted";
    }
}

TEST(ReadSceneFileTest, MissingEmptyAndNonRegularFilesGiveNoBytes) {
    const ScratchFolder scratch("scene_read_test");
    const std::filesystem::path& folder = scratch.path;
    const std::filesystem::path empty = folder / "empty.vxs";
    const std::filesystem::path four = folder / "four.vxs";
    std::ofstream(empty, std::ios::binary).close();
    std::ofstream(four, std::ios::binary) << "abcd";

    std::string message;
    EXPECT_FALSE(readWholeFile(folder / "missing.vxs"));
    EXPECT_FALSE(readSceneFile(folder / "missing.vxs", message));
    EXPECT_EQ(message, (folder / "missing.vxs").string() + ": the file does not exist");
    EXPECT_FALSE(readWholeFile(empty));
    EXPECT_FALSE(readSceneFile(empty, message));
    EXPECT_EQ(message, empty.string() + ": the file is empty");
    EXPECT_FALSE(readWholeFile(folder));
    EXPECT_FALSE(readSceneFile(folder, message));
    EXPECT_EQ(message, folder.string() + ": not a regular file");
    EXPECT_EQ(readWholeFile(four), (std::vector<char>{'a', 'b', 'c', 'd'}));
}

}  // namespace
