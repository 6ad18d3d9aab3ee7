// Small tetrahedral meshes built in code for the simulation tests: one tetrahedron, two sharing
// a face, a cube of five, a beam of cubes and a cube cut into a grid of cells; as in-memory
// TetMesh objects or as OBJ files of tetrahedron faces.
#pragma once

#include <array>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "numerics/vec3.h"
#include "sim/TetMesh.h"

namespace tetmeshes {

// Positions plus tetrahedra. Each tetrahedron (a, b, c, d) lists an outward-wound face
// (a, b, c) (counter-clockwise seen from outside, so ((b - a) x (c - a)) . (d - a) < 0) and the
// fourth vertex d: exactly the argument order of Tetrahedron(a, b, c, d), which then has a
// positive volume.
struct TetList {
    std::vector<lumo::Vec3<float>> verts;
    std::vector<std::array<int, 4>> tets;
};

// Reorders (a, b, c, d) so that (a, b, c) is wound outwards (swaps b and c when needed).
std::array<int, 4> orient(const std::vector<lumo::Vec3<float>>& verts, std::array<int, 4> t);

// Corners (0,0,0), (0,1,0), (1,0,0), (0,0,1): volume 1/6.
TetList oneTet();
// oneTet plus the vertex (1,1,1) closing a second tetrahedron across the face
// (0,1,0), (1,0,0), (0,0,1).
TetList twoTets();
// Unit cube [0,1]^3 cut into five tetrahedra (four corners and one central one), offset by
// `origin`; eight vertices.
TetList cubeOfFive(lumo::Vec3<float> origin = lumo::Vec3<float>(0, 0, 0));
// n unit cubes of five along +x from `origin`, sharing vertices across the cube faces
// (alternating the cut so that the shared faces match): 4(n+1) vertices, 5n tetrahedra.
TetList beam(int n, lumo::Vec3<float> origin = lumo::Vec3<float>(0, 0, 0));
// The cube [0, cells]^3 split into cells^3 unit cells sharing vertices, each cut into five
// (alternating) or six tetrahedra.
TetList gridCube(int cells, bool sixPerCell);

// The four outward faces of tetrahedron (a, b, c, d), in the order a loader expects to find them:
// (a, b, c), (b, a, d), (c, b, d), (a, c, d).
std::array<std::array<int, 3>, 4> outwardFaces(const std::array<int, 4>& t);

// Writes the OBJ text of the tetrahedra's faces (four "f" lines per tetrahedron). With
// sharedVertexLines one "v" line per vertex; otherwise four "v" lines per tetrahedron (every
// tetrahedron has its own copies, to be merged by the loader).
std::string objText(const TetList& list, bool sharedVertexLines);

// TetMesh built directly in memory (no OBJ, nothing printed): vert = restVert = list.verts,
// elements Tetrahedron(a, b, c, d) in list order with normals, the mesh material and rest
// matrices, zero velocities.
boost::shared_ptr<TetMesh> makeMesh(const TetList& list,
                                    const Tetrahedron::Material& m = Tetrahedron::Material());
// TetMesh loaded through TetMesh::loadobj from objText(list, sharedVertexLines) in a temporary
// file (the loader's lines on standard output are swallowed).
boost::shared_ptr<TetMesh> loadMesh(const TetList& list, bool sharedVertexLines,
                                    const Tetrahedron::Material& m = Tetrahedron::Material());

}  // namespace tetmeshes
