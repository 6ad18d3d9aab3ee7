// Bound surfaces built in code for the cutting tests: a two-tetrahedron crack with its fracture
// record and hand-placed surface triangles, closed box surfaces, and binding checks.
#pragma once

#include <boost/shared_ptr.hpp>

#include "sim/TetBoundMesh.h"
#include "sim/TetMesh.h"
#include "sim/TetMeshFractureInfo.h"
#include "tests/support/Capture.h"

namespace boundmeshes {

typedef lumo::Vec3<float> V3;

// Two tetrahedra split apart along the face (0,0,0), (4,0,0), (0,4,0) of z = 0. Vertices: 0
// (0,0,0), 1 (4,0,0), 2 (0,4,0), 3 (0,0,-4), 4 (0,0,4), 5 the split's copy of 0. Tetrahedron 0
// {0,1,2,3} (z <= 0, the record's above) kept vertex 0; 1 {5,1,2,4} (z >= 0) is below. The
// separating triangle is face 1 of tetrahedron 0, corners (2, 0, 1), normal +z: z < 0 is served by
// `first` copies, z >= 0 by `second`. Its edges: 0 = 2 -> 0, 1 = 0 -> 1 (touches the split vertex),
// 2 = 1 -> 2 (does not).
struct Crack {
    boost::shared_ptr<TetMesh> tm;
    TetBoundMesh surface;
    TetMeshFractureInfo record;

    Crack();
    // Appends three vertices (rest = current) and the triangle (a, b, c), returning its index;
    // a corner is bound to tetrahedron 0 when its z < 0, else to tetrahedron 1.
    int addTriangle(const V3& a, const V3& b, const V3& c);
    // Appends one surface vertex bound to `tet` (rest barycentric weights); returns its index.
    int addVertex(const V3& p, int tet);
    // Makes the record the tetrahedral mesh's only recent fracture.
    void post();
};

// Fills an empty mesh with the closed surface of the box [lo, hi], wound outwards: each face in
// n x n cells of two triangles (a, b, c), (a, c, d) or, with quads, one quad (a, b, c, d); shared
// vertices, one texture coordinate, rest = current positions.
void makeBoxSurface(Mesh& mesh, const V3& lo, const V3& hi, int n, bool quads = false);

// Largest distance of a binding's rest position from the vertex's restVert.
double bindingRestError(const TetBoundMesh& surface);

// Expects vert, restVert and bindings parallel, triangle corner and normal indices and binding
// tetrahedra in range, current positions finite.
void expectSoundSurface(const TetBoundMesh& surface);

using testsupport::captureStdout;

}  // namespace boundmeshes
