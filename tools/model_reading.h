// A model from a modelling tool's export (glTF, OBJ, PLY and whatever else the Open Asset Import
// Library reads), flattened into one triangle list: every mesh of every node, placed by the
// node's transforms, y up as the file says.
//
// Materials become the two surface records the scene program reads (content/materials.h):
//   albedo     the base colour (the diffuse colour where there is none), times the mean colour
//              of its texture in linear light: textures are not drawn, a textured material shows
//              its texture's mean colour;
//   roughness  the roughness factor; without one, from a Phong exponent: sqrt(2 / (exponent + 2));
//   emission   the emissive colour times its intensity (and its texture's mean);
//   mirror     the metalness factor: a metal mirrors, a dielectric does not;
//   ambient    the mean of an occlusion texture's red channel, else 1 (goes into the vertex extras).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "content/materials.h"
#include "math/vector.h"

struct ModelMaterial {
    std::string name;
    content::Material surface;
    float ambient = 1.0f;
    bool textured = false;  // a texture's mean colour stands in for it
};

// One mesh of the file as placed by one node, for the listing.
struct ModelPart {
    std::string name;
    std::size_t faces = 0;
    std::size_t vertices = 0;
    std::uint32_t material = 0;
};

struct Model {
    std::vector<Vec3> positions;
    std::vector<Vec3> normals;  // one per position; zero where the model gives none
    std::vector<std::array<std::uint32_t, 3>> triangles;
    std::vector<std::uint32_t> triangleMaterials;  // one per triangle, into materials
    std::vector<ModelMaterial> materials;
    std::vector<ModelPart> parts;
};

// Reads, triangulates and flattens the file. On failure returns the library's message.
[[nodiscard]] std::optional<std::string> readModel(const std::filesystem::path& path, Model& model);

// Why the model cannot be used as it stands (no triangles, a position or normal that is not a
// finite number: which, and how many), or nothing.
[[nodiscard]] std::optional<std::string> checkModelNumbers(const Model& model);
