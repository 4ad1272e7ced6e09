// Shading normals from the generator to the scene program: the vertex extra that carries them,
// the shapes that get them, the flat faces that must not, and the refinement that keeps them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "content/mesh_builder.h"
#include "content/refine.h"
#include "content/scene_generator.h"
#include "content/shapes.h"
#include "content/vector_math.h"
#include "content/vertex_extra.h"
#include "scene/scene_loader.h"
#include "tests/content/generated_scene.h"

namespace {

using namespace content;

constexpr Material kPaint = {{0.5f, 0.5f, 0.5f, 0.5f}, {0, 0, 0, 0}};

Vec3 faceNormal(const MeshBuilder& mesh, const Triangle& t) {
    const Vec3 a = mesh.positions[t[0]];
    return normalize(cross(mesh.positions[t[1]] - a, mesh.positions[t[2]] - a));
}

bool hasNormal(const MeshBuilder& mesh, std::uint32_t v) { return dot(vertexNormal(mesh, v), vertexNormal(mesh, v)) > 0.0f; }

TEST(VertexExtraTest, NormalsAndAmbientSurviveTheFloatTexelExactly) {
    const std::vector<Vec3> normals = {{1, 0, 0},        {0, -1, 0},          {0, 0, -1},   {0.6f, 0.0f, -0.8f},
                                       {-0.48f, 0.6f, -0.64f}, {0.0f, 0.28f, -0.96f}, {-1, 0, 0}, {0.36f, -0.48f, 0.8f}};
    for (const Vec3& normal : normals) {
        for (const float ambient : {0.06f, 0.55f, 0.8f, 1.0f}) {
            const float packed = packVertexExtra({normal, ambient});
            ASSERT_TRUE(packed >= 0.0f && packed < static_cast<float>(kExactFloatLimit) && packed == std::floor(packed))
                << packed;
            const VertexExtra back = unpackVertexExtra(packed);
            EXPECT_GT(dot(back.normal, normal), std::cos(0.005f)) << normal.x << " " << normal.y << " " << normal.z;
            EXPECT_NEAR(back.ambient, ambient, 1.0f / 15.0f / 2.0f + 1e-6f);
        }
    }
    const VertexExtra flat = unpackVertexExtra(packVertexExtra({{}, 1.0f}));
    EXPECT_EQ(dot(flat.normal, flat.normal), 0.0f) << "a flat face's vertex keeps no normal";
    EXPECT_EQ(flat.ambient, 1.0f);
    EXPECT_EQ(unpackVertexExtra(packVertexExtra({{0, 1, 0}, -0.5f})).ambient, 0.0f) << "clamped";
    EXPECT_EQ(unpackVertexExtra(packVertexExtra({{0, 1, 0}, 1.5f})).ambient, 1.0f) << "clamped";
}

TEST(CurvedSurfaceTest, CylinderSidesAreSmoothAndItsEndsFlat) {
    MeshBuilder mesh;
    // Stretched unevenly: the side's normals must stay level and at right angles to it.
    addColumn(mesh, {0, 0, 0}, 0.5f, 3.0f, kPaint, 24, CylinderEnds::Both);
    int smoothFaces = 0, flatFaces = 0;
    for (const Triangle& t : mesh.triangles) {
        const Vec3 own = faceNormal(mesh, t);
        const bool end = std::fabs(own.y) > 0.99f;
        for (const std::uint32_t v : t) {
            ASSERT_EQ(hasNormal(mesh, v), !end) << "an end's corners have no normal; the side's all have one";
            if (end) continue;
            const Vec3 n = vertexNormal(mesh, v);
            EXPECT_NEAR(n.y, 0.0f, 1e-5f);
            EXPECT_NEAR(n.x * mesh.positions[v].x + n.z * mesh.positions[v].z, 0.5f, 1e-4f) << "points away from the axis";
        }
        ++(end ? flatFaces : smoothFaces);
    }
    EXPECT_EQ(flatFaces, 2 * 24);
    EXPECT_GT(smoothFaces, 0);
}

TEST(CurvedSurfaceTest, SplittingAnEdgeBlendsSmoothNormalsAndKeepsFlatOnesFlat) {
    MeshBuilder mesh;
    mesh.positions = {{0, 0, 0}, {4, 0, 0}, {0, 0.5f, 0}, {4, 0.5f, 0}};
    mesh.ambient = {1, 1, 1, 1};
    mesh.normals = {{0, 0, 1}, {1, 0, 0}, {0, 0, 1}};  // the fourth vertex has none
    mesh.triangles = {{0, 1, 2}, {1, 3, 2}};
    mesh.materials = {kPaint, kPaint};
    ASSERT_TRUE(splitLongEdges(mesh, 1.0f));
    ASSERT_EQ(mesh.normals.size(), mesh.positions.size());
    for (std::size_t v = 4; v < mesh.positions.size(); ++v) {
        const Vec3 p = mesh.positions[v];
        if (p.y == 0.0f && p.x == 2.0f) {
            EXPECT_NEAR(dot(mesh.normals[v], normalize(Vec3{1, 0, 1})), 1.0f, 1e-5f) << "halfway between its ends";
        }
        if (p.y == 0.5f) {
            EXPECT_FALSE(hasNormal(mesh, static_cast<std::uint32_t>(v))) << "next to a flat corner";
        }
    }
}


Vec3 vertexAt(const SceneData& data, const Mesh& mesh, float index) {
    const float* t = &data.texels[static_cast<std::size_t>(mesh.vertex_offset + static_cast<std::int32_t>(index)) * 4];
    return {t[0], t[1], t[2]};
}

VertexExtra extraAt(const SceneData& data, const Mesh& mesh, float index) {
    return unpackVertexExtra(data.texels[static_cast<std::size_t>(mesh.vertex_offset + static_cast<std::int32_t>(index)) * 4 + 3]);
}

// Every face of the generated scene whose corners carry normals lies along them (the scene
// program blends them over the face), and the curved objects have such faces.
TEST(GeneratedSurfacesTest, ShadingNormalsFollowTheirFaces) {
    const GeneratedScene& scene = generatedScene();
    ASSERT_FALSE(scene.error) << *scene.error;
    std::vector<int> smoothPerMesh;
    for (const Mesh& mesh : scene.data.meshes) {
        int smooth = 0;
        for (std::int32_t f = 0; f < mesh.face_count; ++f) {
            const float* face = &scene.data.texels[static_cast<std::size_t>(mesh.face_offset + f) * 4];
            const Vec3 a = vertexAt(scene.data, mesh, face[0]), b = vertexAt(scene.data, mesh, face[1]),
                       c = vertexAt(scene.data, mesh, face[2]);
            const Vec3 own = normalize(cross(b - a, c - a));
            int withNormal = 0;
            for (int k = 0; k < 3; ++k) {
                const Vec3 n = extraAt(scene.data, mesh, face[k]).normal;
                if (dot(n, n) == 0.0f) continue;
                ++withNormal;
                ASSERT_GT(dot(n, own), 0.7f) << "mesh " << (&mesh - scene.data.meshes.data()) << " face " << f;
            }
            ASSERT_TRUE(withNormal == 0 || withNormal == 3) << "a face is smooth or flat, never half of each";
            smooth += withNormal == 3 ? 1 : 0;
        }
        smoothPerMesh.push_back(smooth);
    }
    // The rotunda's orb, the plaza's centrepiece, the chain: curved through and through.
    for (const std::size_t m : {4u, 10u, 22u}) EXPECT_GT(smoothPerMesh[m], 1000) << "mesh " << m;
}

// The red cube that circles the plaza: six flat sides, each shaded with one normal (no corner
// carries a normal of its own) that points out of the cube.
TEST(GeneratedSurfacesTest, TheCubesSidesAreFlatAndFaceOutward) {
    const GeneratedScene& scene = generatedScene();
    ASSERT_FALSE(scene.error);
    const Mesh& cube = scene.data.meshes[11];
    Vec3 centre;
    const std::int32_t vertices = cube.face_offset - cube.vertex_offset;
    for (std::int32_t v = 0; v < vertices; ++v) centre = centre + vertexAt(scene.data, cube, static_cast<float>(v)) * (1.0f / vertices);
    std::vector<Vec3> sides;
    for (std::int32_t f = 0; f < cube.face_count; ++f) {
        const float* face = &scene.data.texels[static_cast<std::size_t>(cube.face_offset + f) * 4];
        const Vec3 a = vertexAt(scene.data, cube, face[0]), b = vertexAt(scene.data, cube, face[1]),
                   c = vertexAt(scene.data, cube, face[2]);
        const Vec3 own = normalize(cross(b - a, c - a));
        for (int k = 0; k < 3; ++k) {
            const Vec3 n = extraAt(scene.data, cube, face[k]).normal;
            ASSERT_EQ(dot(n, n), 0.0f) << "face " << f;
        }
        ASSERT_GT(dot(own, (a + b + c) * (1.0f / 3.0f) - centre), 0.0f) << "face " << f << " faces into the cube";
        const auto same = std::find_if(sides.begin(), sides.end(), [&](Vec3 s) { return dot(s, own) > 0.9f; });
        if (same == sides.end()) {
            sides.push_back(own);
        } else {
            EXPECT_GT(dot(*same, own), 1.0f - 1e-5f) << "face " << f << " turns away from its side";
        }
    }
    EXPECT_EQ(sides.size(), 6u);
}

TEST(RefineForHierarchyTest, AMeshThatCannotMeetTheLeafBoundIsReported) {
    MeshBuilder stacked;  // twenty faces on top of each other: no split can ever part them
    for (int i = 0; i < 20; ++i) {
        const auto base = static_cast<std::uint32_t>(stacked.positions.size());
        stacked.positions.insert(stacked.positions.end(), {{0, 0, 0}, {0.5f, 0, 0}, {0, 0, 0.5f}});
        stacked.ambient.insert(stacked.ambient.end(), 3, 1.0f);
        stacked.triangles.push_back({base, base + 1, base + 2});
        stacked.materials.push_back(kPaint);
    }
    const auto failure = refineForHierarchy(stacked);
    ASSERT_TRUE(failure);
    EXPECT_NE(failure->find("leaf of 16 faces"), std::string::npos) << *failure;

    MeshBuilder block;
    addBlock(block, {0, 1, 0}, {2, 1, 3}, kPaint);
    EXPECT_FALSE(refineForHierarchy(block));
}

}  // namespace
