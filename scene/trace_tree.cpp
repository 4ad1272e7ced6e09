#include "scene/trace_tree.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "math/vector.h"

namespace {

struct Entry {
    Position corner0, corner1, corner2;
    Position centre;  // finite: the sort needs an order on every value
    std::uint32_t facePosition;
    bool last = false;  // the last entry of its leaf
};

struct Node {
    Position lo{FLT_MAX, FLT_MAX, FLT_MAX};
    Position hi{-FLT_MAX, -FLT_MAX, -FLT_MAX};
    std::uint32_t child = 0;
    std::uint32_t first = 0;
    std::uint32_t count = 0;
};

// Within the finite floats; NaN stays NaN, which widen then ignores.
float finiteOrNaN(float value) { return value < -FLT_MAX ? -FLT_MAX : (value > FLT_MAX ? FLT_MAX : value); }

void widen(Node& node, const Position& p) {
    for (int axis = 0; axis < 3; ++axis) {
        const float v = finiteOrNaN(p[axis]);
        node.lo[axis] = std::min(node.lo[axis], v);  // a NaN v leaves the bound as it is
        node.hi[axis] = std::max(node.hi[axis], v);
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

// The walk tests a leaf's faces one step each, and a pair's two boxes in one step. A step costs the
// same either way: the rasteriser runs a face's and a pair's arithmetic in every step for its
// group of pixels. The surface-area heuristic counts in steps.
constexpr float kPairSteps = 1.0f;

void sortByCentre(std::vector<Entry>& entries, std::uint32_t start, std::uint32_t end, int axis) {
    std::sort(entries.begin() + start, entries.begin() + end, [axis](const Entry& a, const Entry& b) {
        if (a.centre[axis] != b.centre[axis]) return a.centre[axis] < b.centre[axis];
        return a.facePosition < b.facePosition;  // the same order on every run
    });
}

struct Split {
    int axis = 0;
    std::uint32_t middle = 0;  // the first entry of the second child
    float cost = FLT_MAX;      // the children's half areas weighted by their face counts
};

// The split of start..end with the least surface-area cost over the three axes. The entries are
// left sorted along the last axis tried (z).
Split bestSplit(std::vector<Entry>& entries, std::uint32_t start, std::uint32_t end) {
    const std::uint32_t count = end - start;
    Split best{0, start + count / 2};
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
            const float cost = halfArea(left) * static_cast<float>(leftCount) +
                               rightArea[leftCount] * static_cast<float>(count - leftCount);
            if (cost < best.cost) best = {axis, start + leftCount, cost};
        }
    }
    return best;
}

// The fewest levels below a node of `count` faces: halving until a leaf holds them.
std::uint32_t levelsBelow(std::uint32_t count) {
    std::uint32_t levels = 0;
    for (; count > kTraceTreeLeafFaces; count -= count / 2) ++levels;
    return levels;
}

// Builds the node `index` for entries start..end at `depth` (the root is at 1) and those under it;
// returns the depth of the deepest leaf. A node at depth d has at most kTraceTreeDepthLimit - d
// levels below it, and halving keeps that so for its children: a split that would go deeper
// there is replaced by the middle one.
std::uint32_t build(std::vector<Entry>& entries, std::uint32_t start, std::uint32_t end, std::vector<Node>& nodes,
                    std::size_t index, std::uint32_t depth) {
    Node node;
    for (std::uint32_t i = start; i < end; ++i) widen(node, entries[i]);
    const std::uint32_t count = end - start;
    Split split;
    if (count > 1) split = bestSplit(entries, start, end);
    // Up to four faces may stay a leaf; they are split when opening two children is expected to
    // cost the walk fewer steps than testing every face, as for faces far apart. A mesh of up to
    // four faces is one leaf.
    const float area = halfArea(node);
    const bool splitPays = area > 0.0f && kPairSteps + split.cost / area < static_cast<float>(count);
    if (count <= 1 || (count <= kTraceTreeLeafFaces && (index == 0 || !splitPays))) {
        node.first = start;
        node.count = count;
        nodes[index] = node;
        entries[end - 1].last = true;
        return depth;
    }
    const std::uint32_t larger = std::max(split.middle - start, end - split.middle);
    if (depth + 1 + levelsBelow(larger) > kTraceTreeDepthLimit) split.middle = start + count / 2;
    if (split.axis != 2) sortByCentre(entries, start, end, split.axis);
    node.child = static_cast<std::uint32_t>(nodes.size());
    nodes.emplace_back();
    nodes.emplace_back();
    nodes[index] = node;
    const std::uint32_t first = build(entries, start, split.middle, nodes, node.child, depth + 1);
    return std::max(first, build(entries, split.middle, end, nodes, node.child + 1, depth + 1));
}

float exact(std::uint32_t value) { return static_cast<float>(value); }

float leafWord(const Node& node) { return node.child == 0 ? exact(node.first + 1) : 0.0f; }

// Children are made in pairs, nodes 2p - 1 and 2p; pair p holds the children of one inner node.
std::uint32_t pairOf(const Node& node) { return node.child == 0 ? 0 : (node.child + 1) / 2; }

// One axis of a pair's frame: the two child boxes are stored as whole steps of a power of two
// from the pair's minimum, 8 bits each, rounded outward so that a stored box holds the real one.
struct AxisFrame {
    float origin = 0.0f;
    std::uint32_t biasedExponent = 1;  // the step is 2^(biasedExponent - 127)
};

// Bounds are finite (see widen), so the extent is too, in double: at most 2^129.
AxisFrame axisFrame(float lo, float hi) {
    AxisFrame frame{lo, 1};
    const double extent = static_cast<double>(hi) - static_cast<double>(lo);
    if (!(extent > 0.0)) return frame;
    int exponent = std::max(static_cast<int>(std::ceil(std::log2(extent / 255.0))), -126);
    while (std::ceil(extent / std::ldexp(1.0, exponent)) > 255.0) ++exponent;
    frame.biasedExponent = static_cast<std::uint32_t>(exponent + 127);
    return frame;
}

// Whole steps from the frame's origin to value, rounded down for a minimum and up for a maximum.
std::uint32_t steps(const AxisFrame& frame, float value, bool up) {
    const double step = std::ldexp(1.0, static_cast<int>(frame.biasedExponent) - 127);
    const double count = (static_cast<double>(value) - frame.origin) / step;
    return static_cast<std::uint32_t>(std::clamp(up ? std::ceil(count) : std::floor(count), 0.0, 255.0));
}

// The three texels of the pair a, b: its frame, the two boxes in steps, the two nodes' words.
void appendPair(const Node& a, const Node& b, std::vector<TraceTreeTexel>& block) {
    std::array<AxisFrame, 3> frames;
    for (int axis = 0; axis < 3; ++axis) {
        frames[axis] = axisFrame(std::min(a.lo[axis], b.lo[axis]), std::max(a.hi[axis], b.hi[axis]));
    }
    const auto corner = [&frames](const Position& p, bool up) {
        return exact(steps(frames[0], p[0], up) | steps(frames[1], p[1], up) << 8 | steps(frames[2], p[2], up) << 16);
    };
    block.push_back({frames[0].origin, frames[1].origin, frames[2].origin,
                     exact(frames[0].biasedExponent | frames[1].biasedExponent << 8 | frames[2].biasedExponent << 16)});
    block.push_back({corner(a.lo, false), corner(a.hi, true), corner(b.lo, false), corner(b.hi, true)});
    block.push_back({exact(pairOf(a)), leafWord(a), exact(pairOf(b)), leafWord(b)});
}

Entry entryOf(const MeshBuildRecord& record, std::uint32_t position) {
    const Face& face = record.faces[position];
    Entry entry{record.positions[face.index0], record.positions[face.index1], record.positions[face.index2], {},
                position};
    for (int axis = 0; axis < 3; ++axis) {
        const float centre = (entry.corner0[axis] + entry.corner1[axis] + entry.corner2[axis]) / 3.0f;
        entry.centre[axis] = std::isnan(centre) ? 0.0f : finiteOrNaN(centre);
    }
    return entry;
}

}  // namespace

TraceTree buildTraceTree(const MeshBuildRecord& record) {
    TraceTree tree;
    if (record.faces.empty()) return tree;
    std::vector<Entry> entries;
    entries.reserve(record.faces.size());
    for (std::uint32_t p = 0; p < record.faces.size(); ++p) entries.push_back(entryOf(record, p));

    std::vector<Node> nodes(1);
    tree.depth = build(entries, 0, static_cast<std::uint32_t>(entries.size()), nodes, 0, 1);
    tree.pairCount = static_cast<std::uint32_t>((nodes.size() - 1) / 2);
    tree.root = nodes[0].child == 0 ? -1 : 1;  // a leaf of the first entry on, or pair 1

    tree.texels.reserve(3 * (tree.pairCount + entries.size()));
    // The last pair first: pair p ends where pair p - 1 begins, and pair 1 just before the entries.
    for (std::size_t pair = tree.pairCount; pair >= 1; --pair) {
        appendPair(nodes[2 * pair - 1], nodes[2 * pair], tree.texels);
    }
    for (const Entry& e : entries) {
        tree.texels.push_back({e.corner0[0], e.corner0[1], e.corner0[2], exact(e.facePosition)});
        tree.texels.push_back({e.corner1[0] - e.corner0[0], e.corner1[1] - e.corner0[1], e.corner1[2] - e.corner0[2],
                               e.last ? 1.0f : 0.0f});
        tree.texels.push_back({e.corner2[0] - e.corner0[0], e.corner2[1] - e.corner0[1], e.corner2[2] - e.corner0[2],
                               0.0f});
    }
    return tree;
}
