#include "scene/bvh_stats.h"

#include <algorithm>
#include <cstddef>

std::vector<BvhLeaf> bvhLeaves(std::span<const BvhNode> nodes, std::uint32_t faceCount) {
    struct Pending {
        std::uint32_t node;
        BvhLeaf range;
    };
    std::vector<BvhLeaf> leaves;
    if (nodes.empty() || faceCount == 0) return leaves;
    std::vector<Pending> pending{{0, {0, faceCount - 1, 0}}};
    while (!pending.empty()) {
        const Pending at = pending.back();
        pending.pop_back();
        const BvhNode& node = nodes[at.node];
        const BvhLeaf& range = at.range;
        // Children always follow their parent, which also keeps a damaged hierarchy from looping.
        // The second child's index is formed in std::size_t: child + 1 must not wrap to 0.
        const bool interior = node.child > at.node && std::size_t{node.child} + 1 < nodes.size() &&
                              node.split > range.first && node.split <= range.last;
        if (!interior) {
            leaves.push_back(range);
            continue;
        }
        pending.push_back({node.child, {range.first, node.split - 1, range.depth + 1}});
        pending.push_back({node.child + 1, {node.split, range.last, range.depth + 1}});
    }
    return leaves;
}

BvhStats bvhStats(std::span<const BvhNode> nodes, std::uint32_t faceCount, std::uint64_t depthBudget,
                  std::uint64_t leafLimit) {
    BvhStats stats;
    stats.faces = faceCount;
    stats.nodes = static_cast<std::uint32_t>(nodes.size());
    const std::vector<BvhLeaf> leaves = bvhLeaves(nodes, faceCount);
    if (leaves.empty()) return stats;
    for (const BvhLeaf& leaf : leaves) {
        const std::uint32_t size = leaf.last - leaf.first + 1;
        ++stats.leaves;
        stats.depth = std::max(stats.depth, leaf.depth);
        stats.largestLeaf = std::max(stats.largestLeaf, size);
        stats.faceWeightedLeafFaces += static_cast<double>(size) * size;
        if (size < leafLimit) continue;
        if (leaf.depth >= depthBudget) {
            ++stats.leavesAtDepthLimit;
        } else {
            ++stats.leavesWithoutSplit;
        }
    }
    stats.faceWeightedLeafFaces /= faceCount;
    return stats;
}

namespace {

// A texel holding a node index, truncated as the packer's whole numbers read back. A value no
// 32-bit index can hold (negative, too large, infinite or NaN) reads as 0, which marks a leaf.
std::uint32_t texelIndex(float value) {
    constexpr float kTwoTo32 = 4294967296.0f;
    if (!(value > -1.0f && value < kTwoTo32)) return 0;
    return static_cast<std::uint32_t>(value);
}

}  // namespace

std::vector<BvhNode> unpackBvhNodes(std::span<const float> texels, const Mesh& mesh) {
    std::vector<BvhNode> nodes;
    if (mesh.face_count <= 0 || mesh.bvh_offset < 0) return nodes;
    const std::size_t base = static_cast<std::size_t>(mesh.bvh_offset) * 4;
    const auto readNode = [&](std::size_t n) {
        const std::size_t at = base + 8 * n;
        BvhNode node;
        if (at + 8 > texels.size()) return node;
        node.min = {texels[at], texels[at + 1], texels[at + 2]};
        node.child = texelIndex(texels[at + 3]);
        node.max = {texels[at + 4], texels[at + 5], texels[at + 6]};
        node.split = texelIndex(texels[at + 7]);
        return node;
    };
    // Children pairs follow their parents, so the node count is found by walking from the root.
    std::size_t count = 1;
    for (std::size_t n = 0; n < count; ++n) {
        const BvhNode node = readNode(n);
        nodes.push_back(node);
        if (node.child != 0 && base + 8 * (static_cast<std::size_t>(node.child) + 2) <= texels.size()) {
            count = std::max(count, static_cast<std::size_t>(node.child) + 2);
        }
    }
    return nodes;
}
