// State with which the bound surface is cut along the crack of one fracture record: the cut
// points (each made once, in one copy per side of the crack), the split cases that rewrite the
// crossed surface triangles, and the linking and capping of the crack front.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "numerics/vec3.h"
#include "sim/TetBoundMesh.h"
#include "sim/TetMeshFractureInfo.h"
#include "sim/Triangle.h"

// One cut point of the crack. `first` is the surface vertex bound to the current separating
// triangle's above tetrahedron, `second` the one bound to its below tetrahedron (equal to
// `first` where the crack does not open, at the crack front). `next` indexes splitVerts: the
// next point along the crack path, -1 for none.
struct SplitVertex {
    int first;
    int second;
    int next;
};

// One crossing of a segment (a, b) with a plane, at a + t (b - a). For an edge point a and b
// are surface vertices (a surface edge crossing the separating triangle); for a face point they
// are tetrahedral-mesh vertices (an edge of the separating triangle crossing a surface
// triangle). `splitting` (read only when onTriangleEdge is set) tells whether the edge of the
// separating triangle the crossing lies on touches the split vertex.
struct EdgePoint {
    bool valid;
    int a;
    int b;
    double t;
    bool onTriangleEdge;
    int splitting;

    // valid false, a and b -1, t 0, onTriangleEdge false, splitting 0.
    EdgePoint();
    EdgePoint(bool valid, int a, int b, double t, bool onTriangleEdge, int splitting = 0);
};

// Offset of r from the infinite line through c along the unit direction u (rest positions of
// surface or tetrahedral vertices).
double distanceFromLine(const lumo::Vec3<float>& r, const lumo::Vec3<float>& c,
                        const lumo::Vec3<float>& u);

// Side rule used by every member: the signed side of a rest position x is
// sepTriangle.n . x + sepTriangle.d. Side >= 0 lies with the below tetrahedron and is served by
// `second` copies, side < 0 lies with the above tetrahedron and is served by `first` copies.
// Every vertex the context makes is appended at once to the surface's vert, restVert and
// bindings; its binding uses rest barycentric coordinates in its tetrahedron.
class SplitContext {
  public:
    // Edge keys are 64-bit: stride * a + b (and stride * b + a) of the surface edge (a, b).
    typedef std::int64_t EdgeKey;

    // sepTri (-1, -1, -1), sepTriIdx and sepTriangle zero, stride = 10 * vertex count + 100.
    SplitContext(TetBoundMesh& mesh, TetMeshFractureInfo& info);

    // Makes a separating triangle current; cut points already made stay in the maps.
    void setSeparatingTriangle(const TetMeshFractureInfo::SeparatingTriangle& st,
                               const TriangleIndices& idx, const Triangle& tri);
    // 1 when ep.a or ep.b is the record's split vertex, else 0.
    int triangleEdgeSplitting(EdgePoint& ep);

    // Cut-point makers. References point into splitVerts and stay valid only until the next
    // point is made.
    // Opens surface vertex v lying on the separating triangle: v is re-bound to the above
    // tetrahedron and a copy bound to the below one is appended.
    SplitVertex& getVertex(int v);
    // The cut point where surface edge (ep.a, ep.b) crosses the separating triangle.
    SplitVertex& getEdgePoint(EdgePoint& ep);
    // A new cut point where the separating-triangle edge (ep.a, ep.b) crosses a surface
    // triangle; never cached.
    SplitVertex createFacePoint(EdgePoint& ep);
    // The cut point at tetrahedral-mesh vertex tv, a corner of the separating triangle.
    SplitVertex& getSplitTriangleVertex(int tv);
    // splitVerts index of an edge point already made (asserts that it was made).
    int getEdgePointIndex(EdgePoint& ep);
    // splitVerts index of the cut point with surface vertex vi (asserts that it was made).
    int getVertexIndex(int vi);
    // next := -1 for every cut point.
    void clearNext();

    // Split cases: each rewrites surface triangle `tri` in place (keeping its ni and tci),
    // appends the further triangles the cut needs (ni and tci 0) and sets at most one link.
    // Edge e of a triangle runs from vi[e] to vi[(e + 1) mod 3].
    void splitSingleVert(int tri, const lumo::Vec3<int>& onPlane);
    void splitSingleEdge(int tri, EdgePoint& ep, int e);
    void splitOneEdgeOneFace(int tri, EdgePoint& ep, int e, EdgePoint& fp, int faceEdge);
    void splitOneVertexOneEdge(int tri, int k, EdgePoint& ep, int e);
    void splitTwoEdgePoints(int tri, EdgePoint& ep1, EdgePoint& ep2, int e1, int e2);

    // Links the cut points lying on the separating triangle's own edges, in order along each
    // edge, starting at corners inside the surface.
    void fixFacePoints();
    // Follows the links into paths and caps every closed one with two fans of opposite winding.
    void findPath();

    // Signed side of surface vertex v (rest position) against the current separating triangle.
    double side(int v) const;
    // side(v) >= 0: v lies with the below tetrahedron.
    bool up(int v) const;
    // The 64-bit key of the directed surface edge (a, b).
    EdgeKey edgeKey(int a, int b) const { return EdgeKey(stride) * a + b; }

    TetBoundMesh& mesh;
    std::vector<SplitVertex> splitVerts;
    std::map<int, int> tetVertMap;        // tetrahedral-mesh vertex -> splitVerts index
    std::map<int, int> splitVertMap;      // surface vertex (either copy) -> splitVerts index
    std::map<EdgeKey, int> edgePointMap;  // edge key (both orders) -> splitVerts index
    TetMeshFractureInfo::SeparatingTriangle sepTri;
    TriangleIndices sepTriIdx;  // tetrahedral-mesh vertices of sepTri's face
    Triangle sepTriangle;       // sepTriIdx in tetrahedral-mesh rest positions
    int stride;                 // edge-key multiplier
    std::set<int> newTris;      // cap triangles made by findPath
    std::set<int> splitTris;    // triangles rewritten or appended by split cases
    TetMeshFractureInfo& info;

  private:
    // Appends one surface vertex (current c, rest r) bound to tetrahedron tet with rest
    // barycentric weights; returns its index. Takes copies: c and r may live in the arrays
    // being appended to.
    int appendVertex(lumo::Vec3<float> c, lumo::Vec3<float> r, int tet);
    // Appends a triangle with corners (a, b, c) and normal and texture indices 0; returns its
    // index.
    int appendTri(int a, int b, int c);
    // Links cut point `from` to cut point `to` (splitVerts indices).
    void link(int from, int to) { splitVerts[from].next = to; }
};
