#include "content/trace_tree.h"

#include <algorithm>
#include <cfloat>

#include "scene/bvh.h"

namespace content {
namespace {

// Whole numbers up to this stay exact in a float.
constexpr std::uint32_t kExactLimit = 1u << 24;

struct Entry {
    std::array<float, 3> corner0, corner1, corner2;
    std::array<float, 3> centre;
    std::uint32_t facePosition;
};

struct Node {
    std::array<float, 3> lo{FLT_MAX, FLT_MAX, FLT_MAX};
    std::array<float, 3> hi{-FLT_MAX, -FLT_MAX, -FLT_MAX};
    std::uint32_t child = 0;
    std::uint32_t first = 0;
    std::uint32_t count = 0;
};

void widen(Node& node, const std::array<float, 3>& p) {
    for (int axis = 0; axis < 3; ++axis) {
        node.lo[axis] = std::min(node.lo[axis], p[axis]);
        node.hi[axis] = std::max(node.hi[axis], p[axis]);
    }
}

void widen(Node& node, const Entry& entry) {
    widen(node, entry.corner0);
    widen(node, entry.corner1);
    widen(node, entry.corner2);
}

float halfArea(const Node& node) {
    const float dx = node.hi[0] - node.lo[0], dy = node.hi[1] - node.lo[1], dz = node.hi[2] - node.lo[2];
    return dx * dy + dy * dz + dz * dx;
}

// What a leaf of n faces costs the walk, in reads of a whole leaf: leaves hold four.
float leafReads(std::uint32_t n) { return static_cast<float>((n + kTraceTreeLeafFaces - 1) / kTraceTreeLeafFaces); }

void sortByCentre(std::vector<Entry>& entries, std::uint32_t start, std::uint32_t end, int axis) {
    std::sort(entries.begin() + start, entries.begin() + end, [axis](const Entry& a, const Entry& b) {
        if (a.centre[axis] != b.centre[axis]) return a.centre[axis] < b.centre[axis];
        return a.facePosition < b.facePosition;  // the same order on every run
    });
}

// The split of start..end with the least surface-area cost over the three axes: the axis and
// the first entry of the second child. The entries are left sorted along the last axis tried (z).
std::pair<int, std::uint32_t> bestSplit(std::vector<Entry>& entries, std::uint32_t start, std::uint32_t end) {
    const std::uint32_t count = end - start;
    float bestCost = FLT_MAX;
    std::pair<int, std::uint32_t> best{0, start + count / 2};
    std::vector<float> rightArea(count + 1, 0.0f);
    for (int axis = 0; axis < 3; ++axis) {
        sortByCentre(entries, start, end, axis);
        Node right;
        for (std::uint32_t i = end - 1; i > start; --i) {
            widen(right, entries[i]);
            rightArea[i - start] = halfArea(right);
        }
        Node left;
        for (std::uint32_t i = start; i + 1 < end; ++i) {
            widen(left, entries[i]);
            const std::uint32_t leftCount = i - start + 1;
            const float cost = halfArea(left) * leafReads(leftCount) + rightArea[leftCount] * leafReads(count - leftCount);
            if (cost < bestCost) {
                bestCost = cost;
                best = {axis, start + leftCount};
            }
        }
    }
    return best;
}

void build(std::vector<Entry>& entries, std::uint32_t start, std::uint32_t end, std::vector<Node>& nodes,
           std::size_t index) {
    Node node;
    for (std::uint32_t i = start; i < end; ++i) widen(node, entries[i]);
    if (end - start <= kTraceTreeLeafFaces) {
        node.first = start;
        node.count = end - start;
        nodes[index] = node;
        return;
    }
    const auto [axis, middle] = bestSplit(entries, start, end);
    if (axis != 2) sortByCentre(entries, start, end, axis);
    node.child = static_cast<std::uint32_t>(nodes.size());
    nodes.emplace_back();
    nodes.emplace_back();
    nodes[index] = node;
    build(entries, start, middle, nodes, node.child);
    build(entries, middle, end, nodes, node.child + 1);
}

float exact(std::uint32_t value) { return static_cast<float>(value); }

float leafWord(const Node& node) { return node.child == 0 ? exact(node.first * 16 + node.count) : 0.0f; }

}  // namespace

std::optional<std::string> buildTraceTree(const std::vector<FaceRecord>& faces,
                                          const std::vector<std::array<float, 3>>& positions,
                                          std::vector<TraceTreeTexel>& block) {
    block.clear();
    // The block's own texels: about 2 per face for the nodes, 3 per face entry, and one.
    if (faces.size() >= kTraceTreeFaceLimit) {
        return std::to_string(faces.size()) + " faces, more than the trace tree holds (" +
               std::to_string(kTraceTreeFaceLimit - 1) + ")";
    }
    if (positions.size() + 6 * faces.size() + 1 >= kExactLimit) return "too many vertices for the trace tree";
    for (const FaceRecord& face : faces) {
        if (face.index0 >= positions.size() || face.index1 >= positions.size() || face.index2 >= positions.size()) {
            return "a face names a vertex the mesh does not have";
        }
    }
    // The loader's hierarchy puts the faces in its own order; a hit names a face by that position.
    MeshBuildRecord loaderOrder;
    for (const FaceRecord& face : faces) loaderOrder.faces.push_back({face.index0, face.index1, face.index2, face.word});
    loaderOrder.positions = positions;
    buildMeshBvh(loaderOrder);

    std::vector<Entry> entries;
    for (std::uint32_t p = 0; p < loaderOrder.faces.size(); ++p) {
        const Face& face = loaderOrder.faces[p];
        Entry entry{positions[face.index0], positions[face.index1], positions[face.index2], {}, p};
        for (int axis = 0; axis < 3; ++axis) {
            entry.centre[axis] = (entry.corner0[axis] + entry.corner1[axis] + entry.corner2[axis]) / 3.0f;
        }
        entries.push_back(entry);
    }
    std::vector<Node> nodes(1);
    if (!entries.empty()) build(entries, 0, static_cast<std::uint32_t>(entries.size()), nodes, 0);

    const auto firstVertex = static_cast<std::uint32_t>(positions.size());
    for (const Node& node : nodes) {
        block.push_back({node.lo[0], node.lo[1], node.lo[2], exact(node.child)});
        block.push_back({node.hi[0], node.hi[1], node.hi[2], leafWord(node)});
    }
    const auto entryOffset = static_cast<std::uint32_t>(block.size());
    for (const Entry& e : entries) {
        block.push_back({e.corner0[0], e.corner0[1], e.corner0[2], exact(e.facePosition)});
        block.push_back({e.corner1[0] - e.corner0[0], e.corner1[1] - e.corner0[1], e.corner1[2] - e.corner0[2], 0.0f});
        block.push_back({e.corner2[0] - e.corner0[0], e.corner2[1] - e.corner0[1], e.corner2[2] - e.corner0[2], 0.0f});
    }
    block.push_back({exact(firstVertex), exact(firstVertex + entryOffset), exact(nodes[0].child), leafWord(nodes[0])});
    return std::nullopt;
}

std::optional<std::string> appendTraceTree(MeshRecord& mesh) {
    std::vector<TraceTreeTexel> block;
    if (auto failure = buildTraceTree(mesh.faces, mesh.positions, block)) return failure;
    for (const TraceTreeTexel& texel : block) {
        mesh.positions.push_back({texel[0], texel[1], texel[2]});
        mesh.extras.push_back(texel[3]);
    }
    return std::nullopt;
}

}  // namespace content
