// Refining a mesh so that the bounding-volume hierarchy can split it: a face much longer than the
// objects around it overlaps every split plane of the boxes it lies in, and a leaf made of such
// faces cannot be split further however many faces it holds.
#pragma once

#include <cstdint>
#include <vector>

#include "content/mesh_builder.h"

namespace content {

// Halves the edges longer than maxEdge until none is left, each face keeping its material and
// winding. An edge's midpoint is shared by both faces that use the edge, so faces that shared
// their corners still meet without gaps; the new vertex's ambient factor is its edge's mean, its
// normal the normalised sum of its ends' (none when either end has none). False when edges that
// are too long remain after 64 rounds of halving.
bool splitLongEdges(MeshBuilder& mesh, float maxEdge);

// The faces (indices into mesh.triangles, ascending) that the production's hierarchy builder
// leaves in leaves of kBvhLeafLimit faces or more: leaves it could not split.
std::vector<std::uint32_t> facesInUnsplitLeaves(const MeshBuilder& mesh);

// Halves the longest edge of the faces in such leaves, and builds again, until there are none or
// the rounds are spent. True when every leaf is small.
bool splitUntilEveryLeafIsSmall(MeshBuilder& mesh, int rounds);

}  // namespace content
