// Meshes for the fracture tests: a star of eight tetrahedra around one vertex, and identity
// rotations to strain a mesh with.
#pragma once

#include <vector>

#include "numerics/matrix.h"
#include "tests/support/sim/TetMeshes.h"

namespace fracturemeshes {

// Eight tetrahedra around the origin (vertex 0), one per octant, with the axis points
// +x = 1, -x = 2, +y = 3, -y = 4, +z = 5, -z = 6, wound outwards. Tetrahedron 4a + 2b + c
// lies in the octant with x sign (-1)^a, y sign (-1)^b and z sign (-1)^c, so tetrahedra k and
// k + 4 mirror each other across x = 0 and share the face {0, 3 + k / 2, 5 + k % 2}.
tetmeshes::TetList octahedronStar();

// One 12 x 12 identity rotation per tetrahedron of a mesh with count elements.
std::vector<lumo::Matrix> identityRotations(size_t count);

}  // namespace fracturemeshes
