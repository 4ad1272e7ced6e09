#include "scene/bvh.h"

#include <utility>

namespace {

void widenBox(BvhNode& node, const Position& vertex) {
    for (int axis = 0; axis < 3; ++axis) {
        if (vertex[axis] < node.min[axis]) node.min[axis] = vertex[axis];
        if (vertex[axis] > node.max[axis]) node.max[axis] = vertex[axis];
    }
}

BvhNode boundFaces(const MeshBuildRecord& record, std::uint32_t start, std::uint32_t end) {
    BvhNode node;
    for (std::uint32_t n = start;; ++n) {
        const Face& face = record.faces[n];
        widenBox(node, record.positions[face.index0]);
        widenBox(node, record.positions[face.index1]);
        widenBox(node, record.positions[face.index2]);
        if (n == end) break;
    }
    return node;
}

int verticesBelow(const MeshBuildRecord& record, const Face& face, int axis, float mid) {
    return (record.positions[face.index0][axis] < mid) + (record.positions[face.index1][axis] < mid) +
           (record.positions[face.index2][axis] < mid);
}

// Moves the faces with at least two vertices below mid to the front of start..end. Returns where
// the two cursors met; the face there was not examined and belongs to the second range.
std::uint32_t partitionFaces(MeshBuildRecord& record, std::uint32_t start, std::uint32_t end, int axis,
                             float mid) {
    std::uint32_t i = start;
    std::uint32_t j = end;
    while (i != j) {
        if (verticesBelow(record, record.faces[i], axis, mid) >= 2) {
            ++i;
        } else {
            std::swap(record.faces[i], record.faces[j]);
            --j;
        }
    }
    return i;
}

}  // namespace

std::array<int, 3> bvhAxisOrder(float ex, float ey, float ez) {
    if (ex > ey) {
        if (ey > ez) return {0, 1, 2};
        if (ex > ez) return {0, 2, 1};
        return {2, 0, 1};
    }
    if (ex > ez) return {1, 0, 2};
    if (ey > ez) return {1, 2, 0};
    return {2, 1, 0};
}

BvhNode buildBvh(MeshBuildRecord& record, std::uint32_t start, std::uint32_t end,
                 std::uint64_t depthBudget, std::uint64_t leafLimit) {
    BvhNode node = boundFaces(record, start, end);
    const std::uint32_t faceCount = end - start + 1;
    if (faceCount < leafLimit) return node;

    bool accepted = false;
    std::uint32_t meet = start;
    const std::array<int, 3> order =
        bvhAxisOrder(node.max[0] - node.min[0], node.max[1] - node.min[1], node.max[2] - node.min[2]);
    for (const int axis : order) {
        const float mid = (node.min[axis] + node.max[axis]) * 0.5f;
        meet = partitionFaces(record, start, end, axis, mid);
        if (depthBudget > 0 && meet != start && meet != end) {
            accepted = true;
            break;
        }
    }
    if (!accepted) return node;

    node.child = static_cast<std::uint32_t>(record.nodes.size());
    node.split = meet;
    record.nodes.emplace_back();
    record.nodes.emplace_back();
    // The node array grows during the calls, so each child is stored by index once it returns.
    const BvhNode first = buildBvh(record, start, meet - 1, depthBudget - 1, leafLimit);
    record.nodes[node.child] = first;
    const BvhNode second = buildBvh(record, meet, end, depthBudget - 1, leafLimit);
    record.nodes[node.child + 1] = second;
    return node;
}

void buildMeshBvh(MeshBuildRecord& record) {
    record.nodes.clear();
    if (record.faces.empty()) return;
    record.nodes.emplace_back();
    const std::uint32_t last = static_cast<std::uint32_t>(record.faces.size() - 1);
    const BvhNode root = buildBvh(record, 0, last, kBvhDepthBudget, kBvhLeafLimit);
    record.nodes[0] = root;
}
