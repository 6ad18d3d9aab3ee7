// The five ways a separating triangle cuts one surface triangle: each rewrites the triangle in
// place, appends the pieces the cut needs, picks a copy of every cut point per piece and links
// the cut points along the crack.
#include <cstdio>

#include "sim/SplitContext.h"
#include "sim/TetMesh.h"

// Orientation shared by all cases: along a link A -> B, the corners lying on the below side
// (up true) are on the left when the triangle is seen with its corners counter-clockwise.
// A piece on the below side takes the `second` copy of a cut point, one on the above side the
// `first` copy.

namespace {

// The copy of P a piece on side `below` uses, and the copy the piece across the cut uses.
int by(const SplitVertex& P, bool below) {
    return below ? P.second : P.first;
}
int against(const SplitVertex& P, bool below) {
    return below ? P.first : P.second;
}

// The corner indices of a triangle as they were on entry; old[k] for any k, taken mod 3.
struct Corners {
    int v[3];
    explicit Corners(const Mesh::Tri& t) : v{t.vi[0], t.vi[1], t.vi[2]} {}
    int operator[](int k) const { return v[((k % 3) + 3) % 3]; }
};

void setCorners(Mesh::Tri& t, int a, int b, int c) {
    t.vi[0] = a;
    t.vi[1] = b;
    t.vi[2] = c;
}

}  // namespace

void SplitContext::splitSingleVert(int tri, const lumo::Vec3<int>& onPlane) {
    int k = -1;
    for (int c = 0; c < 3 && k < 0; ++c)
        if (onPlane[c] != 0) k = c;
    if (k < 0) return;

    Corners old(mesh.tris[tri]);
    SplitVertex V = getVertex(old[k]);
    int o1 = old[k + 1], o2 = old[k + 2];

    int nabove = 0, nbelow = 0;
    for (int o : {o1, o2}) {
        int tet = mesh.bindings[o].tet;
        if (info.aboveSet.count(tet)) ++nabove;
        if (info.belowSet.count(tet)) ++nbelow;
    }
    double sum = side(o1) + side(o2);
    printf("nabove: %d nbelow: %d  (%d, %d, %d)\n", nabove, nbelow, old[k], o1, o2);
    printf("below: %d %d  %f %d\n", int(up(o1)), int(up(o2)), sum, sum > 0 ? 1 : 0);

    // The triangle only touches the crack: it follows the side its other corners are bound to.
    mesh.tris[tri].vi[k] = (nbelow == 2) ? V.second : V.first;
}

void SplitContext::splitSingleEdge(int tri, EdgePoint& ep, int e) {
    Corners old(mesh.tris[tri]);
    SplitVertex P = getEdgePoint(ep);
    bool u = up(old[e + 1]);

    setCorners(mesh.tris[tri], by(P, u), old[e + 1], old[e + 2]);
    int added = appendTri(old[e], against(P, u), old[e + 2]);

    splitTris.insert(tri);
    splitTris.insert(added);
}

void SplitContext::splitOneEdgeOneFace(int tri, EdgePoint& ep, int e, EdgePoint& fp, int) {
    Corners old(mesh.tris[tri]);
    bool U0 = up(old[e]), U1 = up(old[e + 1]), U2 = up(old[e + 2]);

    SplitVertex P = getEdgePoint(ep);
    SplitVertex F = createFacePoint(fp);

    setCorners(mesh.tris[tri], old[e], by(P, U0), by(F, U0));

    printf("splitOneEdge, edge: %d %d,  Face: %d, %d\n", P.first, P.second, F.first, F.second);
    if (U0 == U1) printf("Inconsistent downs.\n");

    int pIndex = getEdgePointIndex(ep);
    int fIndex = getVertexIndex(F.first);
    if (U0)
        link(pIndex, fIndex);
    else
        link(fIndex, pIndex);

    // A fan of four around the face point.
    int t1 = appendTri(against(P, U0), old[e + 1], against(F, U0));
    int t2 = appendTri(old[e + 1], old[e + 2], (U1 && U2) ? F.second : F.first);
    int t3 = appendTri(old[e + 2], old[e], (U0 && U2) ? F.second : F.first);

    splitTris.insert(tri);
    splitTris.insert(t1);
    splitTris.insert(t2);
    splitTris.insert(t3);
}

void SplitContext::splitOneVertexOneEdge(int tri, int k, EdgePoint& ep, int e) {
    Corners old(mesh.tris[tri]);
    SplitVertex V = getVertex(old[k]);
    SplitVertex P = getEdgePoint(ep);
    bool D = up(old[e + 1]);

    printf("OneVertexOneEdge (split) %d, %d (down: %d, using %d)\n", V.first, V.second, int(D),
           old[e + 1]);
    printf("  %d (%d) %d (%d) %d (%d)\n", old[0], int(up(old[0])), old[1], int(up(old[1])), old[2],
           int(up(old[2])));

    int vIndex = getVertexIndex(old[k]);
    int pIndex = getEdgePointIndex(ep);
    if (D)
        link(vIndex, pIndex);
    else
        link(pIndex, vIndex);

    setCorners(mesh.tris[tri], by(V, D), by(P, D), old[e + 1]);
    int added = appendTri(against(V, D), old[e], against(P, D));

    splitTris.insert(tri);
    splitTris.insert(added);
}

void SplitContext::splitTwoEdgePoints(int tri, EdgePoint& ep1, EdgePoint& ep2, int e1, int e2) {
    Corners old(mesh.tris[tri]);
    SplitVertex P1 = getEdgePoint(ep1);
    SplitVertex P2 = getEdgePoint(ep2);
    bool upc[3] = {up(old[0]), up(old[1]), up(old[2])};
    auto upAt = [&](int k) { return upc[k % 3]; };
    bool U = upAt(e1);

    setCorners(mesh.tris[tri], old[e1], by(P1, U), by(P2, U));

    int p1Index = getEdgePointIndex(ep1);
    int p2Index = getEdgePointIndex(ep2);
    if (U)
        link(p1Index, p2Index);
    else
        link(p2Index, p1Index);

    int t1, t2;
    if (e2 == e1 + 1) {
        // The two edges share corner old[e1+1], which is cut off.
        if (upAt(e1) != upAt(e1 + 2)) printf("Down conflict 0\n");
        if (upAt(e1) == upAt(e1 + 1)) printf("Down conflict 1\n");
        t1 = appendTri(old[e1], by(P2, U), old[e1 + 2]);
        t2 = appendTri(against(P1, U), old[e1 + 1], against(P2, U));
    } else {
        // The edges share corner old[e1], which the rewritten triangle keeps.
        if (upAt(e1 + 1) == upAt(e1)) printf("Down conflict 2\n");
        if (upAt(e1 + 2) == upAt(e1)) printf("Down conflict 3\n");
        if (upAt(e1 + 2) != upAt(e1 + 1)) printf("Down conflict 4\n");
        t1 = appendTri(against(P1, U), old[e1 + 1], old[e1 + 2]);
        t2 = appendTri(against(P1, U), old[e1 + 2], against(P2, U));
    }

    splitTris.insert(tri);
    splitTris.insert(t1);
    splitTris.insert(t2);
}
