#include "content/refine.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "scene/bvh.h"
#include "scene/bvh_stats.h"

namespace content {
namespace {

using Edge = std::pair<std::uint32_t, std::uint32_t>;

Edge edgeOf(std::uint32_t a, std::uint32_t b) { return {std::min(a, b), std::max(a, b)}; }

float edgeLength(const MeshBuilder& mesh, std::uint32_t a, std::uint32_t b) {
    const Vec3 d = mesh.positions[a] - mesh.positions[b];
    return std::sqrt(dot(d, d));
}

// The midpoint vertex of each edge to split, made once and shared by the faces on both sides.
class Midpoints {
public:
    explicit Midpoints(MeshBuilder& mesh) : mesh_(mesh) {}

    void mark(std::uint32_t a, std::uint32_t b) { marked_.emplace(edgeOf(a, b), kNone); }
    bool marked(std::uint32_t a, std::uint32_t b) const { return marked_.count(edgeOf(a, b)) != 0; }
    bool empty() const { return marked_.empty(); }

    std::uint32_t of(std::uint32_t a, std::uint32_t b) {
        std::uint32_t& index = marked_.at(edgeOf(a, b));
        if (index == kNone) {
            index = static_cast<std::uint32_t>(mesh_.positions.size());
            mesh_.positions.push_back((mesh_.positions[a] + mesh_.positions[b]) * 0.5f);
            mesh_.ambient.push_back(0.5f * (mesh_.ambient[a] + mesh_.ambient[b]));
            // Between two smooth vertices the normal turns halfway; next to a flat one it stays flat.
            const Vec3 na = vertexNormal(mesh_, a), nb = vertexNormal(mesh_, b);
            const bool smooth = dot(na, na) > 0.0f && dot(nb, nb) > 0.0f;
            mesh_.normals.resize(index);
            mesh_.normals.push_back(smooth ? normalize(na + nb) : Vec3{});
        }
        return index;
    }

private:
    static constexpr std::uint32_t kNone = UINT32_MAX;
    MeshBuilder& mesh_;
    std::map<Edge, std::uint32_t> marked_;
};

// Splits face (a, b, c) along its marked edges into 2, 3 or 4 faces wound like it.
void splitFace(MeshBuilder& mesh, Midpoints& midpoints, Triangle t, std::vector<Triangle>& out) {
    // Turn the corners so that the marked edges come first: (a, b), then (b, c), then (c, a).
    for (int turn = 0; turn < 3 && !midpoints.marked(t[0], t[1]); ++turn) std::rotate(t.begin(), t.begin() + 1, t.end());
    if (midpoints.marked(t[0], t[1]) && !midpoints.marked(t[1], t[2]) && midpoints.marked(t[2], t[0])) {
        std::rotate(t.begin(), t.begin() + 2, t.end());  // marks on (c, a) and (a, b): start from c
    }
    const auto [a, b, c] = t;
    const bool bc = midpoints.marked(b, c);
    const bool ca = midpoints.marked(c, a);
    const std::uint32_t ab = midpoints.of(a, b);
    if (!bc && !ca) {
        out.push_back({a, ab, c});
        out.push_back({ab, b, c});
    } else if (bc && !ca) {
        const std::uint32_t mbc = midpoints.of(b, c);
        out.push_back({ab, b, mbc});
        // The quad a, ab, mbc, c: cut along its shorter diagonal.
        if (edgeLength(mesh, a, mbc) <= edgeLength(mesh, ab, c)) {
            out.push_back({a, ab, mbc});
            out.push_back({a, mbc, c});
        } else {
            out.push_back({a, ab, c});
            out.push_back({ab, mbc, c});
        }
    } else {
        const std::uint32_t mbc = midpoints.of(b, c);
        const std::uint32_t mca = midpoints.of(c, a);
        out.push_back({a, ab, mca});
        out.push_back({ab, b, mbc});
        out.push_back({mca, mbc, c});
        out.push_back({ab, mbc, mca});
    }
}

// Splits every face along the edges marked in midpoints; each part keeps its face's material.
void splitMarkedEdges(MeshBuilder& mesh, Midpoints& midpoints) {
    std::vector<Triangle> triangles;
    std::vector<Material> materials;
    for (std::size_t i = 0; i < mesh.triangles.size(); ++i) {
        const Triangle& t = mesh.triangles[i];
        const std::size_t before = triangles.size();
        if (midpoints.marked(t[0], t[1]) || midpoints.marked(t[1], t[2]) || midpoints.marked(t[2], t[0])) {
            splitFace(mesh, midpoints, t, triangles);
        } else {
            triangles.push_back(t);
        }
        materials.insert(materials.end(), triangles.size() - before, mesh.materials[i]);
    }
    mesh.triangles = std::move(triangles);
    mesh.materials = std::move(materials);
}

void markLongestEdge(const MeshBuilder& mesh, const Triangle& t, Midpoints& midpoints) {
    int longest = 0;
    for (int k = 1; k < 3; ++k) {
        if (edgeLength(mesh, t[k], t[(k + 1) % 3]) > edgeLength(mesh, t[longest], t[(longest + 1) % 3])) longest = k;
    }
    midpoints.mark(t[longest], t[(longest + 1) % 3]);
}

// The mesh's faces as the loader hands them to the hierarchy builder, each carrying its own index.
MeshBuildRecord buildRecord(const MeshBuilder& mesh) {
    MeshBuildRecord record;
    for (std::size_t i = 0; i < mesh.triangles.size(); ++i) {
        const Triangle& t = mesh.triangles[i];
        record.faces.push_back({t[0], t[1], t[2], static_cast<std::uint32_t>(i)});
    }
    for (const Vec3& p : mesh.positions) record.positions.push_back(toArray(p));
    return record;
}

}  // namespace

bool splitLongEdges(MeshBuilder& mesh, float maxEdge) {
    // Each round halves every edge that is too long; a face splits along the edges it has halved.
    // The new inner edges are no longer than the longest edge they come from, so the rounds end.
    constexpr int kRounds = 64;
    for (int round = 0;; ++round) {
        Midpoints midpoints(mesh);
        for (const Triangle& t : mesh.triangles) {
            for (int k = 0; k < 3; ++k) {
                if (edgeLength(mesh, t[k], t[(k + 1) % 3]) > maxEdge) midpoints.mark(t[k], t[(k + 1) % 3]);
            }
        }
        if (midpoints.empty()) return true;
        if (round == kRounds) return false;
        splitMarkedEdges(mesh, midpoints);
    }
}

std::vector<std::uint32_t> facesInUnsplitLeaves(const MeshBuilder& mesh) {
    MeshBuildRecord record = buildRecord(mesh);
    buildMeshBvh(record);
    std::vector<std::uint32_t> faces;
    for (const BvhLeaf& leaf : bvhLeaves(record.nodes, static_cast<std::uint32_t>(record.faces.size()))) {
        if (leaf.last - leaf.first + 1 < kBvhLeafLimit) continue;
        for (std::uint32_t n = leaf.first; n <= leaf.last; ++n) faces.push_back(record.faces[n].surfaceWord);
    }
    std::sort(faces.begin(), faces.end());
    return faces;
}

bool splitUntilEveryLeafIsSmall(MeshBuilder& mesh, int rounds) {
    for (int round = 0; round < rounds; ++round) {
        const std::vector<std::uint32_t> crowded = facesInUnsplitLeaves(mesh);
        if (crowded.empty()) return true;
        Midpoints midpoints(mesh);
        for (std::uint32_t face : crowded) markLongestEdge(mesh, mesh.triangles[face], midpoints);
        splitMarkedEdges(mesh, midpoints);
    }
    return facesInUnsplitLeaves(mesh).empty();
}

}  // namespace content
