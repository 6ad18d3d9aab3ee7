// Small tetrahedral meshes built in code for the simulation tests, in memory or as OBJ text.
#pragma once

#include <array>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "numerics/matrix.h"
#include "numerics/vec3.h"
#include "sim/TetMesh.h"

namespace tetmeshes {

typedef lumo::Vec3<float> V3;

// Positions plus tetrahedra (a, b, c, d): face (a, b, c) wound outwards, d the fourth vertex, as
// Tetrahedron(a, b, c, d) takes them for a positive volume.
struct TetList {
    std::vector<V3> verts;
    std::vector<std::array<int, 4>> tets;
};

// Reorders (a, b, c, d) so that (a, b, c) is wound outwards (swaps b and c when needed).
std::array<int, 4> orient(const std::vector<V3>& verts, std::array<int, 4> t);

// Corners (0,0,0), (0,1,0), (1,0,0), (0,0,1): volume 1/6.
TetList oneTet();
// oneTet plus (1,1,1) closing a second tetrahedron across the face (0,1,0), (1,0,0), (0,0,1).
TetList twoTets();
// n unit cubes along +x from origin, of five tetrahedra each: 4(n+1) vertices, 5n tetrahedra.
TetList beam(int n, V3 origin = V3(0, 0, 0));
inline TetList cubeOfFive(V3 origin = V3(0, 0, 0)) {
    return beam(1, origin);
}
// The cube [0, cells]^3 of cells^3 unit cells (shared vertices) of five or six tetrahedra each.
TetList gridCube(int cells, bool sixPerCell);
// Eight tetrahedra around vertex 0 (origin), one per octant: +x 1, -x 2, +y 3, -y 4, +z 5, -z 6.
TetList octahedronStar();
// count 12 x 12 identity element rotations.
std::vector<lumo::Matrix> identityRotations(size_t count);
// The 12 x 12 element rotation of a quarter turn about z: (x, y, z) -> (-y, x, z) per vertex.
lumo::Matrix quarterTurnAboutZ();

// OBJ text of the tetrahedra's four outward faces each, with one "v" line per vertex or (not
// sharedVertexLines) four per tetrahedron, for the loader to merge.
std::string objText(const TetList& list, bool sharedVertexLines);

// TetMesh built in memory (nothing printed): vert = restVert = list.verts, elements in list
// order with normals, material m and rest matrices, zero velocities.
boost::shared_ptr<TetMesh> makeMesh(const TetList& list,
                                    const Tetrahedron::Material& m = Tetrahedron::Material());
// TetMesh loaded by TetMesh::loadobj from objText in a temporary file (output swallowed).
boost::shared_ptr<TetMesh> loadMesh(const TetList& list, bool sharedVertexLines,
                                    const Tetrahedron::Material& m = Tetrahedron::Material());

}  // namespace tetmeshes
