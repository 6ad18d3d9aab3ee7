// The linear four-node tetrahedral element: vertex indices, rest-shape element matrices,
// plastic strain, material, face normals and the geometric queries on one element.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "numerics/matrix.h"
#include "numerics/vec3.h"
#include "sim/Triangle.h"

// Layouts used throughout:
// - Element vectors are 12 x 1: entry 3k+c is coordinate c (x, y, z) of the vertex in slot k
//   (verts[k]). The columns of B and K and the rows of K and P follow the same layout.
// - Strain and stress vectors are 6 x 1 in the order xx, yy, zz, zx, xy, yz, with engineering
//   shears. The rows of B and E and of plasticStrain follow this order.
// Positions are handed in as an array indexed by the values of verts; the element never owns
// them and makes no range test on its indices.
//
// Units and signs:
// - Positions are in world units (lengths), y up. Strain is dimensionless: the symmetric gradient
//   of the displacement in the element's rest frame, positive when a direction is stretched.
// - Elastic strain is B (Rt x - x0) - plasticStrain: the current shape rotated back into the rest
//   frame (Rt), minus the rest shape x0, through B, less what has flowed plastically.
// - plasticStrain is the permanent part of the strain (same order and units). It shifts the
//   element's rest shape: the element pushes back only against strain beyond it.
// - Stress is E times strain, in the unit of youngsModulus; tension is positive. The fracture test
//   takes the stress of the total strain (plastic part included) and compares its largest
//   principal value (the strongest pull) with the mesh's threshold.
// - Nodal forces of the element, in the rest frame: f = -K (Rt x - x0) + P plasticStrain
//   = -volume B^T (elastic stress). K and P carry the rest volume, so forces are in the unit of
//   youngsModulus times length squared; the step rotates them into the current frame.
class Tetrahedron {
  public:
    struct Material {
        double plasticYield;   // plastic flow only while |elastic strain| exceeds this (strain)
        double plasticMax;     // cap on |accumulated plastic strain| (strain)
        double plasticCreep;   // plastic flow rate, per second
        double youngsModulus;  // Young's modulus: sets the unit of stress
        double poissonRatio;   // Poisson's ratio (dimensionless, below 0.5)

        // 0.001, 100.0, 2.0, 25000.0, 0.1
        Material();
    };

    // The four faces as triples of slots into verts: face f is verts[tris[f][0]],
    // verts[tris[f][1]], verts[tris[f][2]]. {0,1,2}, {1,0,3}, {2,1,3}, {0,2,3}. With a positive
    // volume every face is wound counter-clockwise seen from outside.
    static const int tris[4][3];

    lumo::Vec3<float> color;       // RGB used by draw
    lumo::Vec3<float> normals[4];  // unit outward normal of face f, in tris order
    int verts[4];                  // vertex indices into the mesh's position arrays
    double volume;                 // signed rest volume, positive for outward-wound input
    lumo::Matrix K;                // 12 x 12 rest stiffness: volume B^T E B
    lumo::Matrix B;                // 6 x 12 strain-displacement matrix
    lumo::Matrix E;                // 6 x 6 isotropic elasticity matrix. B and E are replaced by
                                   // new blocks, never written in place: the fracture test keeps
                                   // E B per element and renews it when either block changes.
    lumo::Matrix P;                // 12 x 6 plastic force matrix: volume B^T E
    lumo::Matrix plasticStrain;    // 6 x 1 accumulated plastic strain
    Material material;

    // Default matrices and material, colour (0, 0, 0), zero normals; verts and volume unset.
    Tetrahedron();

    // Stores verts = {a, c, d, b}: with (a, b, c) an outward-wound face and d the fourth vertex
    // the element gets a positive volume and outward normals. Colour (0.7, 0.7, 0.7),
    // K = eye(6, 12), B, E, P zero, plasticStrain 6 x 1 zero, volume 0.
    Tetrahedron(int a, int b, int c, int d);

    // The first slot holding oldVert gets newVert; false (nothing changes) when none does.
    bool replaceVert(int oldVert, int newVert);
    // First slot holding v, else -1.
    int indexOfVertex(int v) const;
    // Vertex indices of face f (0..3): verts[tris[f][0]], verts[tris[f][1]], verts[tris[f][2]].
    TriangleIndices faceVertices(int f) const;
    bool containsVertex(int v) const;
    // Writes "v0,v1,v2,v3" (no spaces, no newline).
    std::ostream& print(std::ostream& os) const;

    // volume = (e1 . (e2 x e3)) / -6 with e_k = x_k - x_0, then B, E, K and P from pos (the mesh
    // passes rest positions). Replaces the four matrices with new ones. A degenerate element
    // gives infinite or NaN matrices; no check is made.
    void updateVolume(const std::vector<lumo::Vec3<float>>& pos);

    // 4 x 4: column k = (x, y, z, 1) of pos[verts[k]].
    lumo::Matrix getBaryMatrix(const std::vector<lumo::Vec3<float>>& pos) const;
    // 12 x 1 element vector of the four positions (as doubles).
    lumo::Matrix getVertexVector(const std::vector<lumo::Vec3<float>>& pos) const;
    // The same element vector written into out[0..11], for work on the stack.
    void getVertexVector(const std::vector<lumo::Vec3<float>>& pos, double out[12]) const;
    // sum_k b[k] pos[verts[k]], accumulated in single precision.
    lumo::Vec3<float> getWorldCoordinates(const std::vector<lumo::Vec3<float>>& pos,
                                          const lumo::Vec4<float>& b) const;

    // Plastic flow: e = B (Rt x - x0) - plasticStrain; when |e| > plasticYield, plasticStrain
    // += dt plasticCreep e; then plasticStrain is capped at norm plasticMax. Rt is the 12 x 12
    // block-diagonal transposed rotation of the element (current frame back to rest frame).
    // plasticStrain is changed in place, so copies sharing its storage see the change.
    void updatePlasticity(const std::vector<lumo::Vec3<float>>& rest,
                          const std::vector<lumo::Vec3<float>>& pos, const lumo::Matrix& Rt,
                          double dt);
    // The same with Rt given by its one 3 x 3 block rt (row-major), which the four diagonal
    // blocks of the 12 x 12 form repeat; the zero blocks add nothing to the sums.
    void updatePlasticity(const std::vector<lumo::Vec3<float>>& rest,
                          const std::vector<lumo::Vec3<float>>& pos, const double rt[9], double dt);

    // normals[f] = unit (p1 - p0) x (p2 - p1) of face f on pos (zero when degenerate).
    void updateNormals(const std::vector<lumo::Vec3<float>>& pos);

    // Distance of p to face `face` (0..3): the smaller of the nearest corner distance and the
    // distance to the clamped least-squares combination of the corners. Prints diagnostics on
    // standard output when p is (nearly) on a corner or on the face, or appends them to *log
    // when log is given.
    double distanceToTriangle(const std::vector<lumo::Vec3<float>>& pos, int face,
                              const lumo::Vec3<float>& p, std::string* log = nullptr) const;
    // Distance of p to the element (0 inside): the smallest face distance, or the residual of
    // the clamped barycentric combination when smaller. The face distances' diagnostics go to
    // *log when it is given, else to standard output. Reads pos and this element only and
    // touches no shared state, so with a log per element the distances of many elements may be
    // computed on several threads at once.
    double distance(const std::vector<lumo::Vec3<float>>& pos, const lumo::Vec3<float>& p,
                    std::string* log = nullptr) const;

    // Segment p0 -> p1 against the four faces. t (out) is the smallest segment parameter of a
    // hit, at most 1.0 (1.0 when nothing is hit); hits are accepted for -eps <= s <= 1 + eps
    // and strictly inside the face (edge and corner hits are rejected).
    bool intersectSegment(const std::vector<lumo::Vec3<float>>& pos, const lumo::Vec3<float>& p0,
                          const lumo::Vec3<float>& p1, double& t, double eps) const;

    // The four faces as plain GL triangles (no colour, no normal), for selection.
    void drawSelect(const std::vector<lumo::Vec3<float>>& pos) const;
    // Shaded faces in `color` with the face normals, then a number label at every position of
    // the whole array pos (not only this element's vertices).
    void draw(const std::vector<lumo::Vec3<float>>& pos) const;
    // The shaded faces of draw() alone.
    void drawFaces(const std::vector<lumo::Vec3<float>>& pos) const;
    // The labels of draw() alone: white "%d" numbers at every position of pos.
    static void drawVertexNumbers(const std::vector<lumo::Vec3<float>>& pos);

  private:
    // The flow rule of updatePlasticity given d = Rt x - x0 (12 x 1).
    void applyPlasticFlow(const double d[12], double dt);
};
