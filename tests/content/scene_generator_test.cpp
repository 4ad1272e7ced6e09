// The generated scene as the loader sees it, the primitives it is made of and the title image.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <numbers>
#include <set>
#include <span>
#include <utility>
#include <vector>

#include <stb_image.h>

#include "content/scene_generator.h"
#include "content/shapes.h"
#include "content/surface_pattern.h"
#include "content/title_picture.h"
#include "content/vector_math.h"
#include "content/vertex_extra.h"
#include "png/png_encoder.h"
#include "scene/bvh_stats.h"
#include "scene/scene_loader.h"
#include "show/timeline.h"
#include "tests/content/generated_scene.h"

namespace {

using namespace content;
using Point = std::array<float, 3>;

// The show's parts that draw something, as its timeline lists them.
std::vector<ScenePart> shownParts() {
    std::vector<ScenePart> parts;
    for (const ScenePart& part : timeline) {
        if (part.camera >= 0) parts.push_back(part);
    }
    return parts;
}

// Frames from the part's start up to and including its last moment (t = its length).
std::size_t framesCovering(const ScenePart& part) { return static_cast<std::size_t>(part.duration * 60.0f) + 1; }


const float* texel(const SceneData& data, std::int64_t index) { return &data.texels[static_cast<std::size_t>(index) * 4]; }


Point apply(const Matrix4& m, const float* p) {
    return {m[0] * p[0] + m[4] * p[1] + m[8] * p[2] + m[12], m[1] * p[0] + m[5] * p[1] + m[9] * p[2] + m[13],
            m[2] * p[0] + m[6] * p[1] + m[10] * p[2] + m[14]};
}

struct Box {
    Point low{1e30f, 1e30f, 1e30f}, high{-1e30f, -1e30f, -1e30f};
};

// World bounds of a part's meshes over every second of their animation.
Box partBounds(const SceneData& data, const ScenePart& part) {
    Box box;
    for (int m = part.firstMesh; m <= part.lastMesh; ++m) {
        const Mesh& mesh = data.meshes[static_cast<std::size_t>(m)];
        for (std::size_t f = 0; f < mesh.transforms.size(); f += 60) {
            for (std::int32_t v = mesh.vertex_offset; v < mesh.face_offset; ++v) {
                const Point p = apply(mesh.transforms[f], texel(data, v));
                for (int axis = 0; axis < 3; ++axis) {
                    box.low[axis] = std::min(box.low[axis], p[axis]);
                    box.high[axis] = std::max(box.high[axis], p[axis]);
                }
            }
        }
    }
    return box;
}

bool overlap(const Box& a, const Box& b) {
    for (int axis = 0; axis < 3; ++axis) {
        if (a.high[axis] < b.low[axis] || b.high[axis] < a.low[axis]) return false;
    }
    return true;
}

Point minus(const Point& a, const Point& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Point cross(const Point& a, const Point& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
float dot(const Point& a, const Point& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

struct Hit {
    float distance = 1e30f;
    bool front = false;  // the face's wound side looks at the ray's origin
    int mesh = -1;
};

// The nearest face of the part's meshes, posed as at the given frame, along the ray.
Hit firstHit(const SceneData& data, const ScenePart& part, std::size_t frame, const Point& origin, const Point& direction) {
    Hit hit;
    for (int m = part.firstMesh; m <= part.lastMesh; ++m) {
        const Mesh& mesh = data.meshes[static_cast<std::size_t>(m)];
        const Matrix4& pose = mesh.transforms[std::min(frame, mesh.transforms.size() - 1)];
        for (std::int32_t n = 0; n < mesh.face_count; ++n) {
            const float* face = texel(data, mesh.face_offset + n);
            std::array<Point, 3> v;
            for (int k = 0; k < 3; ++k) v[k] = apply(pose, texel(data, mesh.vertex_offset + static_cast<std::int32_t>(face[k])));
            const Point e1 = minus(v[1], v[0]), e2 = minus(v[2], v[0]);
            const Point p = cross(direction, e2);
            const float determinant = dot(e1, p);
            if (std::fabs(determinant) < 1e-12f) continue;
            const Point s = minus(origin, v[0]);
            const float u = dot(s, p) / determinant;
            const Point q = cross(s, e1);
            const float w = dot(direction, q) / determinant;
            const float t = dot(e2, q) / determinant;
            if (u < 0.0f || w < 0.0f || u + w > 1.0f || t <= 0.0f || t >= hit.distance) continue;
            hit = {t, dot(cross(e1, e2), direction) < 0.0f, m};
        }
    }
    return hit;
}

float distance(const Point& a, const Point& b) { return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]); }

TEST(GeneratedSceneTest, LoadsWithEverythingTheShowUsesAndRoomToSpare) {
    const GeneratedScene& scene = generatedScene();
    ASSERT_FALSE(scene.error) << *scene.error;
    EXPECT_FALSE(checkSceneMeetsNeeds(scene.data, kTimelineNeeds, "scene.vxs"));
    EXPECT_LE(scene.data.meshes.size(), kMaxSceneMeshes);
    EXPECT_LT(scene.data.texelsUsed, 1024u * 1024u / 4 * 3) << "the texture should keep room for more";
    for (const Mesh& mesh : scene.data.meshes) EXPECT_GT(mesh.face_count, 0);
}

TEST(GeneratedSceneTest, CamerasLightsAndAnimationsLastAsLongAsTheirPart) {
    const GeneratedScene& scene = generatedScene();
    ASSERT_FALSE(scene.error);
    for (const ScenePart& part : shownParts()) {
        SCOPED_TRACE("camera " + std::to_string(part.camera));
        EXPECT_GE(scene.data.cameras[static_cast<std::size_t>(part.camera)].frames.size(), framesCovering(part));
        for (int light : part.lights) {
            if (light < 0 || light == kCameraLight) continue;
            EXPECT_GE(scene.data.lights[static_cast<std::size_t>(light)].frames.size(), framesCovering(part)) << "light " << light;
        }
        int animated = 0;
        for (int m = part.firstMesh; m <= part.lastMesh; ++m) {
            const std::size_t count = scene.data.meshes[static_cast<std::size_t>(m)].transforms.size();
            EXPECT_TRUE(count == 1 || count >= framesCovering(part)) << "mesh " << m << " has " << count << " transforms";
            animated += count > 1 ? 1 : 0;
        }
        EXPECT_GT(animated, 0) << "every part has something moving";
    }
}

TEST(GeneratedSceneTest, EachCameraLooksAtItsOwnSetAndMovesSmoothly) {
    const GeneratedScene& scene = generatedScene();
    ASSERT_FALSE(scene.error);
    for (const ScenePart& part : shownParts()) {
        SCOPED_TRACE("camera " + std::to_string(part.camera));
        const std::vector<CameraFrame>& frames = scene.data.cameras[static_cast<std::size_t>(part.camera)].frames;
        ASSERT_FALSE(frames.empty());
        for (std::size_t f = 0; f < frames.size(); ++f) {
            const CameraFrame& frame = frames[f];
            if (f % 20 == 0) {
                // The middle of the picture shows the outside of one of the set's surfaces.
                const Hit hit = firstHit(scene.data, part, f, frame.position, frame.direction);
                ASSERT_LT(hit.distance, 60.0f) << "frame " << f << " looks away from the set";
                ASSERT_TRUE(hit.front) << "frame " << f << " looks at the back of mesh " << hit.mesh;
                ASSERT_GT(hit.distance, 0.5f) << "frame " << f << " is up against mesh " << hit.mesh;
            }
            const Point side = cross(frame.direction, frame.up);
            ASSERT_GT(std::sqrt(dot(side, side)), 0.1f * std::sqrt(dot(frame.direction, frame.direction))) << "frame " << f;
            ASSERT_GT(frame.fov, 20.0f);
            ASSERT_LT(frame.fov, 90.0f);
            if (f > 0) {
                ASSERT_LT(distance(frames[f - 1].position, frame.position), 0.1f) << "frame " << f << " jumps";
            }
        }
    }
}

TEST(GeneratedSceneTest, SetsStandApartFromEachOther) {
    const GeneratedScene& scene = generatedScene();
    ASSERT_FALSE(scene.error);
    std::vector<Box> sets;
    for (const ScenePart& part : shownParts()) sets.push_back(partBounds(scene.data, part));
    for (std::size_t a = 0; a < sets.size(); ++a) {
        for (std::size_t b = a + 1; b < sets.size(); ++b) EXPECT_FALSE(overlap(sets[a], sets[b])) << a << " and " << b;
    }
}

Material recordsOf(const SceneData& data, const Mesh& mesh, std::int32_t face) {
    Material records;
    std::copy_n(texel(data, mesh.surface0_offset + face), 4, records.record0.begin());
    std::copy_n(texel(data, mesh.surface1_offset + face), 4, records.record1.begin());
    return records;
}

// Record 0: albedo and roughness in 0..1; record 1: emitted light at or above 0, or a checker's
// second albedo and cells, and reflectivity in 0..1; vertex extras whole numbers below 2^24 whose
// ambient factor is in 0..1.
TEST(GeneratedSceneTest, SurfaceRecordsAndVertexExtrasStayInTheirRanges) {
    const GeneratedScene& scene = generatedScene();
    ASSERT_FALSE(scene.error);
    const auto unit = [](float value) { return value >= 0.0f && value <= 1.0f; };
    for (std::size_t m = 0; m < scene.data.meshes.size(); ++m) {
        const Mesh& mesh = scene.data.meshes[m];
        for (std::int32_t n = 0; n < mesh.face_count; ++n) {
            const float* record0 = texel(scene.data, mesh.surface0_offset + n);
            const float* record1 = texel(scene.data, mesh.surface1_offset + n);
            ASSERT_TRUE(std::all_of(record0, record0 + 4, unit)) << "mesh " << m << " face " << n;
            ASSERT_TRUE(unit(record1[3])) << "mesh " << m << " face " << n;
            if (const auto checker = readChecker(recordsOf(scene.data, mesh, n))) {
                ASSERT_TRUE(std::all_of(checker->albedoB.begin(), checker->albedoB.end(), unit)) << "mesh " << m;
                ASSERT_GT(checker->layout.cellSize, 0.1f) << "mesh " << m;
                continue;
            }
            ASSERT_TRUE(std::all_of(record1, record1 + 3, [](float e) { return e >= 0.0f && e < 10.0f; })) << "mesh " << m;
        }
        for (std::int32_t v = mesh.vertex_offset; v < mesh.face_offset; ++v) {
            const float extra = texel(scene.data, v)[3];
            ASSERT_TRUE(extra >= 0.0f && extra < static_cast<float>(kExactFloatLimit) && extra == std::floor(extra))
                << "mesh " << m;
            const float ambient = unpackVertexExtra(extra).ambient;
            ASSERT_TRUE(unit(ambient) && ambient > 0.0f) << "mesh " << m;
        }
    }
}

// The checkers are drawn by the scene program from each face's records, not from the faces' own
// shapes: so the pattern must fit its floor. A round floor's rings are centred on it and its rim is
// a ring's border; a square floor's edges are tile borders, so no tile is cut at the rim.
TEST(GeneratedSceneTest, CheckersFitTheFloorsThatCarryThem) {
    const GeneratedScene& scene = generatedScene();
    ASSERT_FALSE(scene.error);
    int rings = 0, squares = 0;
    for (std::size_t m = 0; m < scene.data.meshes.size(); ++m) {
        const Mesh& mesh = scene.data.meshes[m];
        std::optional<Checker> pattern;
        Box floor;
        for (std::int32_t n = 0; n < mesh.face_count; ++n) {
            const auto checker = readChecker(recordsOf(scene.data, mesh, n));
            if (!checker) continue;
            if (pattern) {
                ASSERT_EQ(checker->layout.sectors, pattern->layout.sectors) << "one pattern per floor, mesh " << m;
            }
            pattern = checker;
            for (int k = 0; k < 3; ++k) {
                const float* p = texel(scene.data, mesh.vertex_offset + static_cast<std::int32_t>(texel(scene.data, mesh.face_offset + n)[k]));
                for (int axis = 0; axis < 3; ++axis) {
                    floor.low[axis] = std::min(floor.low[axis], p[axis]);
                    floor.high[axis] = std::max(floor.high[axis], p[axis]);
                }
            }
        }
        if (!pattern) continue;
        const float cell = pattern->layout.cellSize;
        const auto wholeCells = [cell](float length) { return std::fabs(length / cell - std::round(length / cell)) < 1e-3f; };
        if (pattern->layout.sectors > 0) {
            ++rings;
            const Point centre{0.5f * (floor.low[0] + floor.high[0]), 0.0f, 0.5f * (floor.low[2] + floor.high[2])};
            EXPECT_NEAR(pattern->layout.centre.x, centre[0], 1e-3f) << "mesh " << m;
            EXPECT_NEAR(pattern->layout.centre.z, centre[2], 1e-3f) << "mesh " << m;
            EXPECT_TRUE(wholeCells(0.5f * (floor.high[0] - floor.low[0]))) << "mesh " << m << ": the rim cuts a ring";
        } else {
            ++squares;
            for (const int axis : {0, 2}) {
                EXPECT_TRUE(wholeCells(floor.low[axis]) && wholeCells(floor.high[axis])) << "mesh " << m << " axis " << axis;
            }
        }
    }
    EXPECT_EQ(rings, 2) << "the rotunda's and the stairwell's floors";
    EXPECT_EQ(squares, 2) << "the hall's and the plaza's floors";
}

// Every mesh's hierarchy, as the production builds and packs it, splits down to leaves the ray
// tracer can afford: fewer than 16 faces, none left whole because no split was found.
TEST(GeneratedSceneTest, EveryMeshSplitsIntoSmallLeaves) {
    const GeneratedScene& scene = generatedScene();
    ASSERT_FALSE(scene.error);
    for (std::size_t m = 0; m < scene.data.meshes.size(); ++m) {
        const Mesh& mesh = scene.data.meshes[m];
        const BvhStats stats = bvhStats(unpackBvhNodes(scene.data.texels, mesh), static_cast<std::uint32_t>(mesh.face_count));
        EXPECT_LT(stats.largestLeaf, kBvhLeafLimit) << "mesh " << m;
        EXPECT_EQ(stats.leavesWithoutSplit, 0u) << "mesh " << m;
        EXPECT_EQ(stats.leavesAtDepthLimit, 0u) << "mesh " << m;
        EXPECT_EQ(stats.leaves, (stats.nodes + 1) / 2) << "mesh " << m << ": every node is reached";
    }
}

TEST(GeneratedSceneTest, EveryCallGivesTheSameBytes) {
    const SceneFileBytes first = generateSceneFile();
    ASSERT_FALSE(first.empty()) << "generation failed";
    EXPECT_TRUE(first == generateSceneFile());
    EXPECT_TRUE(encodePng(drawTitleImage()) == encodePng(drawTitleImage()));
}

// Each directed edge once and its reverse once: closed, and every face wound the same way.
void expectClosedAndConsistent(const Shape& shape) {
    std::map<std::pair<std::uint32_t, std::uint32_t>, int> edges;
    for (const auto& t : shape.triangles) {
        for (int k = 0; k < 3; ++k) ++edges[{t[k], t[(k + 1) % 3]}];
    }
    for (const auto& [edge, count] : edges) {
        ASSERT_EQ(count, 1) << edge.first << "-" << edge.second;
        ASSERT_EQ(edges.count({edge.second, edge.first}), 1u) << edge.first << "-" << edge.second << " is open";
    }
}

// A checker's records hold both materials and its cells exactly enough to draw it, and what
// they cannot hold is brought within them rather than wrapped into another pattern.
TEST(SurfacePatternTest, CheckerRecordsCarryBothMaterialsAndTheirCells) {
    const Material dark = surface(0.03f, 0.03f, 0.04f, 0.1f, 0.4f);
    const Material light = surface(0.85f, 0.5f, 0.0f, 0.3f, 0.2f);
    const Material squares = checkered(dark, light, squareCells(1.5f));
    EXPECT_LT(squares.record1[0], 0.0f) << "marked where emitted light never is";
    EXPECT_LT(-squares.record1[0], static_cast<float>(kExactFloatLimit)) << "a whole number a float holds exactly";
    const auto read = readChecker(squares);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->albedoA, (std::array<float, 3>{0.03f, 0.03f, 0.04f}));
    for (int c = 0; c < 3; ++c) {
        const float wanted = light.record0[static_cast<std::size_t>(c)];
        EXPECT_NEAR(read->albedoB[static_cast<std::size_t>(c)], wanted, 0.5f / 255.0f * (2.0f * std::sqrt(wanted) + 0.01f));
    }
    EXPECT_FLOAT_EQ(read->roughness, 0.2f);
    EXPECT_FLOAT_EQ(read->reflectivity, 0.3f);
    EXPECT_EQ(read->layout.sectors, 0);
    EXPECT_EQ(read->layout.cellSize, 1.5f);

    const auto ring = readChecker(checkered(dark, light, ringCells({-60, 0, 127}, 1.8f, 24)));
    ASSERT_TRUE(ring);
    EXPECT_EQ(ring->layout.sectors, 24);
    EXPECT_EQ(ring->layout.centre.x, -60.0f);
    EXPECT_EQ(ring->layout.centre.z, 127.0f);
    const auto clamped = readChecker(checkered(dark, light, ringCells({60.4f, 0, 300}, 0.0f, 301)));
    ASSERT_TRUE(clamped);
    EXPECT_EQ(clamped->layout.sectors, 254) << "even, so that the sectors alternate all round";
    EXPECT_EQ(clamped->layout.centre.x, 60.0f);
    EXPECT_EQ(clamped->layout.centre.z, 127.0f);
    EXPECT_GT(clamped->layout.cellSize, 0.0f);
    EXPECT_FALSE(readChecker(light)) << "a plain material is no checker";
    EXPECT_FALSE(readChecker(Material{{0, 0, 0, 0}, {-1e30f, 1, 0, 0}})) << "no code is that large";
}

TEST(ShapesTest, PrimitivesAreClosedFaceOutwardAndHaveTheirVolume) {
    constexpr float pi = std::numbers::pi_v<float>;
    const std::vector<std::pair<Shape, float>> cases = {
        {makeBox(), 8.0f},
        {makeIcosphere(3), 4.0f / 3.0f * pi},
        {makeCylinder(48), pi},
        {makeBox({3, 1, 5}), 8.0f},
        {makeCylinder(40, 6), pi},
        {makeTorus(2.0f, 0.5f, 64, 24), 2.0f * pi * pi * 2.0f * 0.25f},
    };
    for (const auto& [shape, volume] : cases) {
        SCOPED_TRACE(shape.triangles.size());
        expectClosedAndConsistent(shape);
        EXPECT_NEAR(signedVolume(shape), volume, 0.03f * volume);
    }
    EXPECT_EQ(makeIcosphere(2).triangles.size(), 320u);
    const Shape side = makeCylinder(24, 2, CylinderEnds::None);
    EXPECT_EQ(side.triangles.size(), 24u * 2u * 2u) << "no caps";
    for (const auto& t : side.triangles) {
        const Vec3 a = side.positions[t[0]], b = side.positions[t[1]], c = side.positions[t[2]];
        const Vec3 normal = cross(b - a, c - a);
        EXPECT_GT(normal.x * (a.x + b.x + c.x) + normal.z * (a.z + b.z + c.z), 0.0f) << "faces outward";
        EXPECT_NEAR(normal.y, 0.0f, 1e-5f);
    }
    const Shape knot = makeTorusKnot(2, 3, 0.35f, 192, 12);
    expectClosedAndConsistent(knot);
    EXPECT_GT(signedVolume(knot), 0.0f);
}

TEST(TitleImageTest, PngDecodesToTheDrawnPixels) {
    const RgbaImage image = drawTitleImage();
    ASSERT_EQ(image.width, 512);
    ASSERT_EQ(image.height, 256);
    const std::vector<std::uint8_t> png = encodePng(image);
    int width = 0, height = 0, channels = 0;
    stbi_uc* decoded = stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &width, &height, &channels, 4);
    ASSERT_NE(decoded, nullptr) << stbi_failure_reason();
    const std::vector<std::uint8_t> pixels(decoded, decoded + static_cast<std::size_t>(width) * height * 4);
    stbi_image_free(decoded);
    EXPECT_EQ(width, 512);
    EXPECT_EQ(height, 256);
    EXPECT_TRUE(pixels == image.pixels);
    std::set<std::uint32_t> colours;
    for (std::size_t i = 0; i < pixels.size(); i += 4) colours.insert(pixels[i] << 16 | pixels[i + 1] << 8 | pixels[i + 2]);
    EXPECT_GT(colours.size(), 1000u) << "a drawn picture, not a flat fill";
}

TEST(TitleImageTest, AnImageWhosePixelsDoNotMatchItsSizeIsNotEncoded) {
    RgbaImage image = drawTitleImage();
    image.pixels.pop_back();
    EXPECT_TRUE(encodePng(image).empty());
    EXPECT_TRUE(encodePng(RgbaImage{}).empty());
}

}  // namespace
