// Bound surfaces built in code for the cutting tests: a two-tetrahedron crack with its fracture
// record and hand-placed surface triangles, closed box surfaces, and binding checks.
#pragma once

#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "numerics/vec3.h"
#include "sim/TetBoundMesh.h"
#include "sim/TetMesh.h"
#include "sim/TetMeshFractureInfo.h"
#include "tests/support/Capture.h"

namespace boundmeshes {

typedef lumo::Vec3<float> V3;

// Two tetrahedra split apart along the face (0,0,0), (4,0,0), (0,4,0) of the plane z = 0.
// Tetrahedral vertices: 0 (0,0,0), 1 (4,0,0), 2 (0,4,0), 3 (0,0,-4), 4 (0,0,4) and 5, the copy
// of vertex 0 made by the split. Tetrahedron 0 = {0,1,2,3} lies at z <= 0 and kept vertex 0
// (the record's above tetrahedron); tetrahedron 1 = {5,1,2,4} lies at z >= 0 (below). The
// separating triangle is face 1 of tetrahedron 0, corners (2, 0, 1) with normal +z, so the side
// of a rest position is its z: z < 0 is served by `first` copies, z >= 0 by `second`.
// Separating-triangle edges: 0 = 2 -> 0 (x = 0), 1 = 0 -> 1 (y = 0, touches the split vertex),
// 2 = 1 -> 2 (x + y = 4, does not).
struct Crack {
    boost::shared_ptr<TetMesh> tm;
    TetBoundMesh surface;
    TetMeshFractureInfo record;

    Crack();
    // Appends three surface vertices (rest = current position) and the triangle (a, b, c);
    // each corner is bound to tetrahedron 0 when its z < 0, else to tetrahedron 1. Returns the
    // triangle index.
    int addTriangle(const V3& a, const V3& b, const V3& c);
    // Appends one surface vertex bound to `tet` (rest barycentric weights); returns its index.
    int addVertex(const V3& p, int tet);
    // Makes the record the tetrahedral mesh's only recent fracture.
    void post();
};

// Closed surface of the box [lo, hi], each face cut into n x n cells of two triangles (or, with
// quads, one quad whose corners are the two triangles' a, b, c and d), wound outwards, with
// shared vertices and one texture coordinate. Rest and current positions equal.
void makeBoxSurface(Mesh& mesh, const V3& lo, const V3& hi, int n, bool quads = false);

// Largest |tets[b.tet].getWorldCoordinates(restVert, b.bary) - restVert[v]| over the surface's
// vertices: how far the bindings are from reproducing the rest positions.
double bindingRestError(const TetBoundMesh& surface);

// Expects (GoogleTest failures) a sound surface: vert, restVert and bindings parallel, every
// corner and normal index of a triangle valid, every binding naming a tetrahedron of the bound
// mesh, every current position finite.
void expectSoundSurface(const TetBoundMesh& surface);

using testsupport::captureStdout;

}  // namespace boundmeshes
