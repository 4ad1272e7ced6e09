#include "tools/model_reading.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <stb_image.h>

namespace {

constexpr unsigned kReadSteps = aiProcess_Triangulate | aiProcess_GenNormals | aiProcess_JoinIdenticalVertices |
                                aiProcess_SortByPType | aiProcess_ValidateDataStructure;

float srgbToLinear(float c) { return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f); }

// The mean of an image's red, green and blue in linear light; colour maps store sRGB bytes,
// data maps (occlusion) linear ones.
std::array<float, 3> meanColour(const unsigned char* pixels, std::size_t count, bool srgb) {
    std::array<double, 3> sum{};
    for (std::size_t i = 0; i < count; ++i) {
        for (int c = 0; c < 3; ++c) {
            const float value = pixels[4 * i + c] / 255.0f;
            sum[c] += srgb ? srgbToLinear(value) : value;
        }
    }
    const double n = count == 0 ? 1.0 : static_cast<double>(count);
    return {static_cast<float>(sum[0] / n), static_cast<float>(sum[1] / n), static_cast<float>(sum[2] / n)};
}

// The mean colour of a material's first texture of a kind, embedded or in a file beside the
// model; nothing when it has none or it cannot be decoded.
std::optional<std::array<float, 3>> textureMean(const aiScene& scene, const aiMaterial& material, aiTextureType type,
                                                const std::filesystem::path& folder, bool srgb = true) {
    aiString name;
    if (material.GetTexture(type, 0, &name) != AI_SUCCESS) return std::nullopt;
    int width = 0, height = 0, channels = 0;
    unsigned char* pixels = nullptr;
    if (const aiTexture* embedded = scene.GetEmbeddedTexture(name.C_Str())) {
        if (embedded->mHeight == 0) {
            pixels = stbi_load_from_memory(reinterpret_cast<const unsigned char*>(embedded->pcData),
                                           static_cast<int>(embedded->mWidth), &width, &height, &channels, 4);
        } else {
            std::vector<unsigned char> rgba;
            const std::size_t count = std::size_t{embedded->mWidth} * embedded->mHeight;
            for (std::size_t i = 0; i < count; ++i) {
                const aiTexel& t = embedded->pcData[i];
                rgba.insert(rgba.end(), {t.r, t.g, t.b, t.a});
            }
            return meanColour(rgba.data(), count, srgb);
        }
    } else {
        std::string file = name.C_Str();
        std::replace(file.begin(), file.end(), '\\', '/');  // exports from Windows name ".\\wood.jpg"
        pixels = stbi_load((folder / file).string().c_str(), &width, &height, &channels, 4);
    }
    if (pixels == nullptr) return std::nullopt;
    const auto mean = meanColour(pixels, static_cast<std::size_t>(width) * static_cast<std::size_t>(height), srgb);
    stbi_image_free(pixels);
    return mean;
}

ModelMaterial mapMaterial(const aiScene& scene, const aiMaterial& material, const std::filesystem::path& folder) {
    ModelMaterial out;
    out.name = material.GetName().C_Str();
    aiColor4D base(0.8f, 0.8f, 0.8f, 1.0f);
    if (material.Get(AI_MATKEY_BASE_COLOR, base) != AI_SUCCESS) material.Get(AI_MATKEY_COLOR_DIFFUSE, base);
    std::array<float, 3> albedo = {base.r, base.g, base.b};
    auto texture = textureMean(scene, material, aiTextureType_BASE_COLOR, folder);
    if (!texture) texture = textureMean(scene, material, aiTextureType_DIFFUSE, folder);
    if (texture) {
        for (int c = 0; c < 3; ++c) albedo[c] *= (*texture)[c];
        out.textured = true;
    }

    float roughness = 0.8f;
    float shininess = 0.0f;
    if (material.Get(AI_MATKEY_ROUGHNESS_FACTOR, roughness) != AI_SUCCESS &&
        material.Get(AI_MATKEY_SHININESS, shininess) == AI_SUCCESS && shininess > 0.0f) {
        roughness = std::sqrt(2.0f / (shininess + 2.0f));
    }
    float metalness = 0.0f;
    (void)material.Get(AI_MATKEY_METALLIC_FACTOR, metalness);  // none: a dielectric

    aiColor3D emissive(0.0f, 0.0f, 0.0f);
    float intensity = 1.0f;
    (void)material.Get(AI_MATKEY_COLOR_EMISSIVE, emissive);  // none: it emits nothing
    (void)material.Get(AI_MATKEY_EMISSIVE_INTENSITY, intensity);
    std::array<float, 3> emitted = {emissive.r * intensity, emissive.g * intensity, emissive.b * intensity};
    if (const auto glow = textureMean(scene, material, aiTextureType_EMISSIVE, folder)) {
        for (int c = 0; c < 3; ++c) emitted[c] *= (*glow)[c];
    }
    auto occlusion = textureMean(scene, material, aiTextureType_AMBIENT_OCCLUSION, folder, false);
    if (!occlusion) occlusion = textureMean(scene, material, aiTextureType_LIGHTMAP, folder, false);
    if (occlusion) out.ambient = (*occlusion)[0];

    const auto unit = [](float v) { return std::isfinite(v) ? std::clamp(v, 0.0f, 1.0f) : 0.0f; };
    const auto glowing = [](float v) { return std::isfinite(v) ? std::max(v, 0.0f) : 0.0f; };
    out.surface = content::surface(unit(albedo[0]), unit(albedo[1]), unit(albedo[2]), unit(roughness),
                                   unit(metalness), {glowing(emitted[0]), glowing(emitted[1]), glowing(emitted[2])});
    return out;
}

Vec3 toVec3(const aiVector3D& v) { return {v.x, v.y, v.z}; }

// Adds the node's meshes placed by `parent` times its own transform, then its children's.
void flattenNode(const aiScene& scene, const aiNode& node, const aiMatrix4x4& parent, Model& model) {
    const aiMatrix4x4 place = parent * node.mTransformation;
    aiMatrix3x3 turnNormals(place);
    turnNormals.Inverse().Transpose();
    const bool mirrored = place.Determinant() < 0.0f;  // keep faces wound as the normals say
    for (unsigned m = 0; m < node.mNumMeshes; ++m) {
        const aiMesh& mesh = *scene.mMeshes[node.mMeshes[m]];
        const auto first = static_cast<std::uint32_t>(model.positions.size());
        ModelPart part{mesh.mName.C_Str(), 0, mesh.mNumVertices, mesh.mMaterialIndex};
        for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
            model.positions.push_back(toVec3(place * mesh.mVertices[v]));
            model.normals.push_back(mesh.HasNormals() ? toVec3((turnNormals * mesh.mNormals[v]).NormalizeSafe())
                                                      : Vec3{});
        }
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
            const aiFace& face = mesh.mFaces[f];
            if (face.mNumIndices != 3) continue;  // points and lines: nothing to trace
            std::array<std::uint32_t, 3> corners = {first + face.mIndices[0], first + face.mIndices[1],
                                                    first + face.mIndices[2]};
            if (mirrored) std::swap(corners[1], corners[2]);
            model.triangles.push_back(corners);
            model.triangleMaterials.push_back(mesh.mMaterialIndex);
            ++part.faces;
        }
        model.parts.push_back(part);
    }
    for (unsigned c = 0; c < node.mNumChildren; ++c) flattenNode(scene, *node.mChildren[c], place, model);
}

std::string describe(Vec3 v) {
    char text[96];
    std::snprintf(text, sizeof text, "(%g, %g, %g)", static_cast<double>(v.x), static_cast<double>(v.y),
                  static_cast<double>(v.z));
    return text;
}

bool finite(Vec3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// "3 of 24 positions are not finite numbers (the first, vertex 5: (inf, 0, 1))", or nothing.
std::optional<std::string> countNonFinite(const std::vector<Vec3>& values, const char* what) {
    std::size_t bad = 0, first = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (finite(values[i])) continue;
        if (bad++ == 0) first = i;
    }
    if (bad == 0) return std::nullopt;
    return std::to_string(bad) + " of " + std::to_string(values.size()) + " " + what +
           " are not finite numbers (the first, vertex " + std::to_string(first) + ": " + describe(values[first]) +
           ")";
}

}  // namespace

std::optional<std::string> readModel(const std::filesystem::path& path, Model& model) {
    Assimp::Importer importer;
    // Points and lines are dropped whole: only triangles are traced.
    importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, aiPrimitiveType_POINT | aiPrimitiveType_LINE);
    const aiScene* scene = importer.ReadFile(path.string(), kReadSteps);
    if (scene == nullptr || scene->mRootNode == nullptr) {
        const std::string reason = importer.GetErrorString();
        return reason.empty() ? std::string("the file holds no scene") : reason;
    }
    Model read;
    const std::filesystem::path folder = path.parent_path();
    for (unsigned i = 0; i < scene->mNumMaterials; ++i) {
        read.materials.push_back(mapMaterial(*scene, *scene->mMaterials[i], folder));
    }
    if (read.materials.empty()) read.materials.push_back(ModelMaterial{"default", content::surface(0.8f, 0.8f, 0.8f, 0.8f)});
    flattenNode(*scene, *scene->mRootNode, aiMatrix4x4(), read);
    model = std::move(read);
    return std::nullopt;
}

std::optional<std::string> checkModelNumbers(const Model& model) {
    if (model.triangles.empty()) return "the model has no triangles";
    if (auto bad = countNonFinite(model.positions, "positions")) return bad;
    return countNonFinite(model.normals, "normals");
}
