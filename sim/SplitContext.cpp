// Cut points of one fracture record: the surface vertices that open the bound surface along a
// crack, each made once, remembered in the context's maps, and looked up again by index.
#include "sim/SplitContext.h"

#include <cassert>
#include <cstdio>

#include "sim/TetMesh.h"

// The two index look-ups come first and stay where they are: the split cases link cut points
// through them, and the file and line of an assertion failure tell the two apart (the vertex
// look-up reports line 22, the edge-point look-up line 50).

// splitVerts index of the cut point whose surface vertex (first or second copy) is vi.
// Opened vertices and face points are entered in splitVertMap under both of their copies, so
// either copy finds the point. Corner points of the separating triangle are entered only in
// tetVertMap and are not found here.
//
// Asking for a vertex that was never opened means a split case and the classification that
// chose it disagree: an invariant violation, not bad input. The assertion reports it.
int SplitContext::getVertexIndex(int vi) {
    assert(splitVertMap.count(vi));
    return splitVertMap[vi];
}

EdgePoint::EdgePoint() : valid(false), a(-1), b(-1), t(0.0), onTriangleEdge(false), splitting(0) {}

EdgePoint::EdgePoint(bool valid_, int a_, int b_, double t_, bool onTriangleEdge_, int splitting_)
    : valid(valid_), a(a_), b(b_), t(t_), onTriangleEdge(onTriangleEdge_), splitting(splitting_) {}

SplitContext::SplitContext(TetBoundMesh& mesh_, TetMeshFractureInfo& info_)
    : mesh(mesh_),
      sepTri{-1, -1, -1},
      sepTriIdx(0, 0, 0),
      sepTriangle(),
      stride(10 * int(mesh_.vert.size()) + 100),
      info(info_) {}

// splitVerts index of the edge point of the surface edge (ep.a, ep.b). Both key orders were
// entered when the point was made, so the triangles on either side of the edge find it
// whichever way their corners run.
//
// Keys are 64-bit: stride * a + b cannot overflow for any surface held in memory, and stays
// unique while b < stride, which holds for every edge of the surface as it was when the
// context was made (stride is ten times its vertex count plus 100).
//
// Asking for an edge point that was never made is an invariant violation.
int SplitContext::getEdgePointIndex(EdgePoint& ep) {
    EdgeKey index = edgeKey(ep.a, ep.b);
    assert(edgePointMap.count(index));
    return edgePointMap[index];
}

namespace {

// (1 - s) a + s b with every operation in single precision.
lumo::Vec3<float> lerpf(const lumo::Vec3<float>& a, const lumo::Vec3<float>& b, float s) {
    float r = 1.0f - s;
    return lumo::Vec3<float>(r * a.x + s * b.x, r * a.y + s * b.y, r * a.z + s * b.z);
}

}  // namespace

void SplitContext::setSeparatingTriangle(const TetMeshFractureInfo::SeparatingTriangle& st,
                                         const TriangleIndices& idx, const Triangle& tri) {
    sepTri = st;
    sepTriIdx = idx;
    sepTriangle = tri;
}

int SplitContext::triangleEdgeSplitting(EdgePoint& ep) {
    return (ep.a == info.vertex || ep.b == info.vertex) ? 1 : 0;
}

double SplitContext::side(int v) const {
    return sepTriangle.n.dot(mesh.restVert[v]) + sepTriangle.d;
}

bool SplitContext::up(int v) const {
    return side(v) >= 0;
}

int SplitContext::appendVertex(lumo::Vec3<float> c, lumo::Vec3<float> r, int tet) {
    int index = int(mesh.vert.size());
    mesh.vert.push_back(c);
    mesh.restVert.push_back(r);
    TetBoundMesh::TetBinding binding;
    binding.tet = tet;
    binding.bary = mesh.tetMesh->getRestBaryCoordinates(tet, r);
    mesh.bindings.push_back(binding);
    return index;
}

int SplitContext::appendTri(int a, int b, int c) {
    Mesh::Tri t;
    t.vi[0] = a;
    t.vi[1] = b;
    t.vi[2] = c;
    mesh.tris.push_back(t);
    return int(mesh.tris.size()) - 1;
}

SplitVertex& SplitContext::getVertex(int v) {
    std::map<int, int>::iterator found = splitVertMap.find(v);
    if (found != splitVertMap.end()) return splitVerts[found->second];

    lumo::Vec3<float> r = mesh.restVert[v];
    mesh.bindings[v].tet = sepTri.aboveTet;
    mesh.bindings[v].bary = mesh.tetMesh->getRestBaryCoordinates(sepTri.aboveTet, r);
    int w = appendVertex(mesh.vert[v], r, sepTri.belowTet);

    int i = int(splitVerts.size());
    splitVertMap[v] = i;
    splitVertMap[w] = i;
    splitVerts.push_back(SplitVertex{v, w, -1});
    return splitVerts.back();
}

SplitVertex& SplitContext::getEdgePoint(EdgePoint& ep) {
    EdgeKey key1 = edgeKey(ep.a, ep.b);
    EdgeKey key2 = edgeKey(ep.b, ep.a);
    std::map<EdgeKey, int>::iterator found = edgePointMap.find(key1);
    if (found != edgePointMap.end()) return splitVerts[found->second];

    int i = int(splitVerts.size());
    edgePointMap[key1] = i;
    edgePointMap[key2] = i;

    float s = float(ep.t);
    lumo::Vec3<float> r = lerpf(mesh.restVert[ep.a], mesh.restVert[ep.b], s);
    lumo::Vec3<float> c = lerpf(mesh.vert[ep.a], mesh.vert[ep.b], s);

    int p = appendVertex(c, r, sepTri.aboveTet);
    int q = p;
    if (!ep.onTriangleEdge || ep.splitting != 0) {
        q = appendVertex(c, r, sepTri.belowTet);
        if (ep.onTriangleEdge) printf("Created face edge point: %d %d\n", p, q);
    } else {
        // The crossing lies on an edge of the separating triangle that does not touch the
        // split vertex: the crack ends here and the surface stays closed at this point.
        printf("Edge point is face edge on non-splitting edge.\n");
    }

    splitVertMap[p] = i;
    splitVertMap[q] = i;
    splitVerts.push_back(SplitVertex{p, q, -1});
    return splitVerts.back();
}

SplitVertex SplitContext::createFacePoint(EdgePoint& ep) {
    const TetMesh& tm = *mesh.tetMesh;
    float s = float(ep.t);
    lumo::Vec3<float> c = lerpf(tm.vert[ep.a], tm.vert[ep.b], s);
    lumo::Vec3<float> r = lerpf(tm.restVert[ep.a], tm.restVert[ep.b], s);

    int p = appendVertex(c, r, sepTri.aboveTet);
    int q = p;
    if (triangleEdgeSplitting(ep)) {
        q = appendVertex(c, r, sepTri.belowTet);
        printf("Creating face point (split) %d, %d\n", p, q);
    }

    int i = int(splitVerts.size());
    splitVerts.push_back(SplitVertex{p, q, -1});
    splitVertMap[p] = i;
    splitVertMap[q] = i;
    return splitVerts.back();
}

SplitVertex& SplitContext::getSplitTriangleVertex(int tv) {
    std::map<int, int>::iterator found = tetVertMap.find(tv);
    if (found != tetVertMap.end()) return splitVerts[found->second];

    const TetMesh& tm = *mesh.tetMesh;
    int i = int(splitVerts.size());
    int p = appendVertex(tm.vert[tv], tm.restVert[tv], sepTri.aboveTet);
    int q = p;
    if (tv == info.vertex || tv == info.newVertex) {
        // The split vertex and its copy are one point of the crack, opened in two.
        q = appendVertex(tm.vert[tv], tm.restVert[tv], sepTri.belowTet);
        tetVertMap[info.vertex] = i;
        tetVertMap[info.newVertex] = i;
    }
    tetVertMap[tv] = i;
    splitVerts.push_back(SplitVertex{p, q, -1});
    return splitVerts.back();
}

void SplitContext::clearNext() {
    for (SplitVertex& sv : splitVerts) sv.next = -1;
}
