// What the import does to a model between reading it and writing it as a mesh record: fitting it
// into a box, simplifying it to a face budget, and encoding its normals, ambient and materials as
// the scene file holds them.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>

#include "content/scene_file_writer.h"
#include "tools/model_reading.h"

struct Box {
    Vec3 min{}, max{};
};

// The box of the positions the triangles use.
Box boxOfTriangles(const Model& model);

// Scales the model uniformly into `target` (the smallest of the ratios over the axes where both
// boxes have extent), standing on its floor (y up) and centred across. Refused when the target
// has no extent at all.
[[nodiscard]] std::optional<std::string> fitIntoBox(Model& model, const Box& target);

// At most maxFaces triangles, the outline kept: positions welded first (unwelded exports lock
// their seams), each material's triangles simplified on their own share of the budget, and the
// coarse simplifier used where the outline-keeping one stops above it. Shading normals come back
// from the original ones at each welded position that face the same way as the new face.
void simplifyModel(Model& model, std::size_t maxFaces);

// The mesh record of the model (no transforms): faces carrying their material's surface index,
// the materials the faces use as surface records (the records past them are zero, no face names
// them), and vertex extras with the shading normal, or none where a face is flat.
content::MeshRecord meshRecordOf(const Model& model);
