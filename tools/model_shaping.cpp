#include "tools/model_shaping.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include <meshoptimizer.h>

#include "content/vertex_extra.h"

namespace {

// A face whose corner normals all lie within about a degree of its own normal is flat.
constexpr float kFlatCosine = 0.9998f;
// Original normals within 60 degrees of a simplified face's normal shade its corner.
constexpr float kSameSideCosine = 0.5f;

Vec3 faceNormal(const Model& model, const std::array<std::uint32_t, 3>& t) {
    const Vec3 a = model.positions[t[0]];
    return normalize(cross(model.positions[t[1]] - a, model.positions[t[2]] - a));
}

struct Welded {
    std::vector<Vec3> positions;
    std::vector<std::uint32_t> indices;  // three per triangle, into positions
    std::vector<std::uint32_t> remap;    // from the model's vertices to positions
};

Welded weldPositions(const Model& model) {
    Welded w;
    w.remap.resize(model.positions.size());
    const std::size_t unique = meshopt_generateVertexRemap(w.remap.data(), nullptr, model.positions.size(),
                                                           model.positions.data(), model.positions.size(), sizeof(Vec3));
    w.positions.resize(unique);
    meshopt_remapVertexBuffer(w.positions.data(), model.positions.data(), model.positions.size(), sizeof(Vec3),
                              w.remap.data());
    for (const auto& t : model.triangles) {
        for (std::uint32_t corner : t) w.indices.push_back(w.remap[corner]);
    }
    return w;
}

// One material's triangles (welded indices) down to about `targetFaces`.
std::vector<std::uint32_t> simplifyGroup(const Welded& w, const std::vector<std::uint32_t>& indices,
                                         std::size_t targetFaces) {
    std::vector<std::uint32_t> out(indices.size());
    const auto* xyz = reinterpret_cast<const float*>(w.positions.data());
    const float anyError = std::numeric_limits<float>::max();  // the face budget alone decides
    std::size_t count = meshopt_simplify(out.data(), indices.data(), indices.size(), xyz, w.positions.size(),
                                         sizeof(Vec3), targetFaces * 3, anyError, 0, nullptr);
    if (count > targetFaces * 3) {
        count = meshopt_simplifySloppy(out.data(), indices.data(), indices.size(), xyz, w.positions.size(),
                                       sizeof(Vec3), targetFaces * 3, anyError, nullptr);
    }
    out.resize(count);
    return out;
}

}  // namespace

Box boxOfTriangles(const Model& model) {
    const float inf = std::numeric_limits<float>::infinity();
    Box box{{inf, inf, inf}, {-inf, -inf, -inf}};
    for (const auto& t : model.triangles) {
        for (std::uint32_t corner : t) {
            const Vec3 p = model.positions[corner];
            box.min = {std::min(box.min.x, p.x), std::min(box.min.y, p.y), std::min(box.min.z, p.z)};
            box.max = {std::max(box.max.x, p.x), std::max(box.max.y, p.y), std::max(box.max.z, p.z)};
        }
    }
    return box;
}

std::optional<std::string> fitIntoBox(Model& model, const Box& target) {
    const Box box = boxOfTriangles(model);
    const Vec3 have = box.max - box.min, room = target.max - target.min;
    float scale = std::numeric_limits<float>::infinity();
    for (const auto& [h, r] : {std::pair{have.x, room.x}, std::pair{have.y, room.y}, std::pair{have.z, room.z}}) {
        if (h > 0.0f && r > 0.0f) scale = std::min(scale, r / h);
    }
    if (!std::isfinite(scale)) return std::string("the mesh's box has no extent to fit the model into");
    const Vec3 from{(box.min.x + box.max.x) * 0.5f, box.min.y, (box.min.z + box.max.z) * 0.5f};
    const Vec3 to{(target.min.x + target.max.x) * 0.5f, target.min.y, (target.min.z + target.max.z) * 0.5f};
    for (Vec3& p : model.positions) p = to + (p - from) * scale;
    return std::nullopt;
}

void simplifyModel(Model& model, std::size_t maxFaces) {
    if (model.triangles.size() <= maxFaces) return;
    const Welded w = weldPositions(model);
    std::map<std::uint32_t, std::vector<std::uint32_t>> groups;  // material: welded indices
    for (std::size_t i = 0; i < model.triangles.size(); ++i) {
        auto& group = groups[model.triangleMaterials[i]];
        group.insert(group.end(), w.indices.begin() + 3 * i, w.indices.begin() + 3 * i + 3);
    }
    // The original normals at each welded position.
    std::vector<std::vector<Vec3>> normalsAt(w.positions.size());
    for (std::size_t v = 0; v < model.positions.size(); ++v) {
        if (dot(model.normals[v], model.normals[v]) > 0.0f) normalsAt[w.remap[v]].push_back(model.normals[v]);
    }

    Model out;
    out.materials = model.materials;
    out.parts = model.parts;
    const double share = static_cast<double>(maxFaces) / static_cast<double>(model.triangles.size());
    for (const auto& [material, indices] : groups) {
        const auto target = static_cast<std::size_t>(static_cast<double>(indices.size() / 3) * share);
        const std::vector<std::uint32_t> kept = simplifyGroup(w, indices, target);
        for (std::size_t i = 0; i + 2 < kept.size(); i += 3) {
            const auto first = static_cast<std::uint32_t>(out.positions.size());
            for (int c = 0; c < 3; ++c) out.positions.push_back(w.positions[kept[i + c]]);
            out.triangles.push_back({first, first + 1, first + 2});
            out.triangleMaterials.push_back(material);
            const Vec3 n = faceNormal(out, out.triangles.back());
            for (int c = 0; c < 3; ++c) {
                Vec3 sum{};
                for (const Vec3& original : normalsAt[kept[i + c]]) {
                    if (dot(original, n) > kSameSideCosine) sum = sum + original;
                }
                out.normals.push_back(normalize(sum));
            }
        }
    }
    model = std::move(out);
}

content::MeshRecord meshRecordOf(const Model& model) {
    // Materials in the order faces first use them: the surface indices.
    std::map<std::uint32_t, std::uint32_t> surfaceOf;
    content::MeshRecord record;
    for (std::uint32_t material : model.triangleMaterials) {
        if (surfaceOf.emplace(material, static_cast<std::uint32_t>(surfaceOf.size())).second) {
            record.surface0.push_back(model.materials[material].surface.record0);
            record.surface1.push_back(model.materials[material].surface.record1);
        }
    }
    // Every corner as (position, extra), then equal corners joined into one vertex.
    struct Corner {
        Vec3 position;
        float extra;
    };
    static_assert(sizeof(Corner) == 16);
    std::vector<Corner> corners;
    for (std::size_t i = 0; i < model.triangles.size(); ++i) {
        const auto& t = model.triangles[i];
        const Vec3 own = faceNormal(model, t);
        bool flat = true;
        for (std::uint32_t c : t) flat = flat && dot(model.normals[c], own) > kFlatCosine;
        for (std::uint32_t c : t) {
            if (dot(model.normals[c], model.normals[c]) == 0.0f) flat = true;  // one corner without: all flat
        }
        const float ambient = model.materials[model.triangleMaterials[i]].ambient;
        for (std::uint32_t c : t) {
            const float extra = content::packVertexExtra({flat ? Vec3{} : model.normals[c], ambient});
            corners.push_back({model.positions[c], extra});
        }
    }
    std::vector<std::uint32_t> remap(corners.size());
    const std::size_t unique =
        meshopt_generateVertexRemap(remap.data(), nullptr, corners.size(), corners.data(), corners.size(), sizeof(Corner));
    std::vector<Corner> vertices(unique);
    meshopt_remapVertexBuffer(vertices.data(), corners.data(), corners.size(), sizeof(Corner), remap.data());
    for (const Corner& v : vertices) {
        record.positions.push_back(toArray(v.position));
        record.extras.push_back(v.extra);
    }
    for (std::size_t i = 0; i < model.triangles.size(); ++i) {
        const std::uint32_t word = surfaceOf[model.triangleMaterials[i]] << 16;
        record.faces.push_back({remap[3 * i], remap[3 * i + 1], remap[3 * i + 2], word});
    }
    record.surface0.resize(record.faces.size());
    record.surface1.resize(record.faces.size());
    return record;
}
