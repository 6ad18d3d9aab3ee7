// Cutting the bound surface along the cracks of the last step: per fracture record and per
// separating triangle, every surface triangle bound near the crack is classified by how it
// meets the separating triangle and handed to its split case. All geometry is in rest poses.
#include <cstdio>
#include <vector>

#include "sim/SplitContext.h"
#include "sim/TetBoundMesh.h"
#include "sim/TetMesh.h"
#include "sim/Triangle.h"

namespace {

// How one surface triangle meets the current separating triangle.
struct Crossings {
    lumo::Vec3<int> onPlane;  // 1 for a corner within 0.0002 of the separating triangle
    EdgePoint ep[3];          // ep[j]: surface edge vi[j] -> vi[j+1] crossing it
    std::vector<int> edges;   // valid j, ascending
    EdgePoint fp[3];          // fp[m]: separating-triangle edge m crossing the surface triangle
    std::vector<int> faces;   // valid m, ascending
    int nv = 0;
};

// (1 - t) a + t b. The crossing tests below take the point in this form for closeness to
// edges and corners, and as a + (b - a) t for the inside test; the two forms round differently
// in single precision, and each test keeps its own.
lumo::Vec3<float> lerp(const lumo::Vec3<float>& a, const lumo::Vec3<float>& b, double t) {
    return a * (1.0 - t) + b * t;
}

// q lies strictly inside T (edge coordinates u, v >= 1e-8, u + v <= 1 - 1e-8) and the
// segment parameter t strictly inside (0, 1) by the same margin.
bool strictlyInside(const Triangle& T, const lumo::Vec3<float>& q, double t) {
    lumo::Vec3<float> r = q - T.p[0];
    double u = T.b1.dot(r), v = T.b2.dot(r);
    return u >= 1e-8 && v >= 1e-8 && u + v <= 0.99999999 && t >= 1e-8 && t <= 0.99999999;
}

// Crossing of surface edge (a, b) with the context's separating triangle; neither end is
// on-plane.
EdgePoint edgeCrossing(SplitContext& ctx, const std::vector<lumo::Vec3<float>>& rest, int a,
                       int b) {
    const Triangle& T = ctx.sepTriangle;
    const TriangleIndices& sepTriIdx = ctx.sepTriIdx;
    const lumo::Vec3<float>& pa = rest[a];
    const lumo::Vec3<float>& pb = rest[b];
    double t = (-T.d - T.n.dot(pa)) / T.n.dot(pb - pa);
    if (t > 0 && t < 1) {
        // On (the line of) an edge of the separating triangle, inside it or not.
        lumo::Vec3<float> q = lerp(pa, pb, t);
        for (int m = 0; m < 3; ++m) {
            lumo::Vec3<float> e = T.p[(m + 1) % 3] - T.p[m];
            e.normalize();
            if (distanceFromLine(q, T.p[m], e) < 0.0001) {
                EdgePoint E(true, sepTriIdx[m], sepTriIdx[(m + 1) % 3], 0.0, false);
                return EdgePoint(true, a, b, t, true, ctx.triangleEdgeSplitting(E));
            }
        }
    }
    lumo::Vec3<float> q = pa + (pb - pa) * t;
    if (strictlyInside(T, q, t)) return EdgePoint(true, a, b, t, false);
    return EdgePoint();
}

// Crossing of separating-triangle edge m with surface triangle S, dropped (with its messages)
// when it falls on an on-plane corner or on an edge point of the same triangle.
EdgePoint faceCrossing(const Triangle& S, const TriangleIndices& sepTriIdx, int m,
                       const std::vector<lumo::Vec3<float>>& tetRest,
                       const std::vector<lumo::Vec3<float>>& rest, const Mesh::Tri& tri,
                       const Crossings& x) {
    int A = sepTriIdx[m], B = sepTriIdx[(m + 1) % 3];
    const lumo::Vec3<float>& PA = tetRest[A];
    const lumo::Vec3<float>& PB = tetRest[B];
    double t = (-S.d - S.n.dot(PA)) / S.n.dot(PB - PA);
    lumo::Vec3<float> q = PA + (PB - PA) * t;
    if (!strictlyInside(S, q, t)) return EdgePoint();

    lumo::Vec3<float> q2 = lerp(PA, PB, t);
    bool bad = false;
    for (int c = 0; c < 3 && !bad; ++c) {
        double dc = (q2 - rest[tri.vi[c]]).len();
        if (x.onPlane[c] && dc < 0.0002)
            bad = true;
        else if (dc < 0.0002)
            printf("Face vert close to point.\n");
    }
    for (size_t k = 0; k < x.edges.size() && !bad; ++k) {
        const EdgePoint& e = x.ep[x.edges[k]];
        lumo::Vec3<float> qe = lerp(rest[e.a], rest[e.b], e.t);
        if ((q2 - qe).len() < 0.0001) {
            printf("Face vert close to edge point.\n");
            bad = true;
        }
    }
    if (bad) {
        printf("Face point is bad.\n");
        return EdgePoint();
    }
    return EdgePoint(true, A, B, t, false);
}

Crossings classify(SplitContext& ctx, const TetBoundMesh& mesh, const Mesh::Tri& tri) {
    const Triangle& T = ctx.sepTriangle;
    const std::vector<lumo::Vec3<float>>& rest = mesh.restVert;
    Crossings x;
    for (int c = 0; c < 3; ++c) {
        x.onPlane[c] = T.distance(rest[tri.vi[c]]) < 0.0002 ? 1 : 0;
        x.nv += x.onPlane[c];
    }
    for (int j = 0; j < 3; ++j) {
        int a = tri.vi[j], b = tri.vi[(j + 1) % 3];
        if (x.onPlane[j] || x.onPlane[(j + 1) % 3]) continue;
        x.ep[j] = edgeCrossing(ctx, rest, a, b);
        if (x.ep[j].valid) x.edges.push_back(j);
    }
    Triangle S(rest, TriangleIndices(tri.vi[0], tri.vi[1], tri.vi[2]));
    for (int m = 0; m < 3; ++m) {
        x.fp[m] = faceCrossing(S, ctx.sepTriIdx, m, mesh.tetMesh->restVert, rest, tri, x);
        if (x.fp[m].valid) x.faces.push_back(m);
    }
    return x;
}

// Case 5: two corners on the separating triangle; both are opened in place and take the copy
// of the side the third corner lies on.
void openTwoCorners(SplitContext& ctx, TetBoundMesh& mesh, int i, const Crossings& x) {
    int c0 = -1, c1 = -1, c2 = -1;
    for (int c = 0; c < 3; ++c) {
        if (!x.onPlane[c])
            c2 = c;
        else if (c0 < 0)
            c0 = c;
        else
            c1 = c;
    }
    bool up = ctx.side(mesh.tris[i].vi[c2]) >= 0;
    for (int c : {c0, c1}) {
        SplitVertex P = ctx.getVertex(mesh.tris[i].vi[c]);
        mesh.tris[i].vi[c] = up ? P.second : P.first;
    }
    ctx.splitTris.insert(i);
}

// Chooses and applies the split case of triangle i; returns the case number (0..8), or -1
// when the triangle does not meet the separating triangle at all.
int applyCase(SplitContext& ctx, TetBoundMesh& mesh, int i, Crossings& x) {
    int nv = x.nv, ne = int(x.edges.size()), nf = int(x.faces.size());
    if (nv == 0 && ne == 0 && nf == 0) return -1;
    int j = ne > 0 ? x.edges[0] : -1;
    int m = nf > 0 ? x.faces[0] : -1;
    if (nv == 1 && ne == 0 && nf == 0) {
        ctx.splitSingleVert(i, x.onPlane);
        return 0;
    }
    if (nv == 0 && ne == 2 && nf == 0) {
        int j1 = x.edges[0], j2 = x.edges[1];
        ctx.splitTwoEdgePoints(i, x.ep[j1], x.ep[j2], j1, j2);
        return 1;
    }
    if (nv == 0 && ne == 1 && nf == 1) {
        ctx.splitOneEdgeOneFace(i, x.ep[j], j, x.fp[m], m);
        return 2;
    }
    if (nv == 1 && ne == 1 && nf == 0) {
        int c = x.onPlane[0] ? 0 : (x.onPlane[1] ? 1 : 2);
        ctx.splitOneVertexOneEdge(i, c, x.ep[j], j);
        return 3;
    }
    if (nv == 1 && ne == 0 && nf == 1) {
        printf(" Case 4 not handled\n");
        return 4;
    }
    if (nv == 2 && ne == 0 && nf == 0) {
        openTwoCorners(ctx, mesh, i, x);
        return 5;
    }
    if (nv == 0 && ne == 0 && nf == 2) return 6;
    if (nv == 0 && ne == 1 && nf == 0) {
        ctx.splitSingleEdge(i, x.ep[j], j);  // the crack front ends in this triangle
        return 7;
    }
    const Mesh::Tri& t = mesh.tris[i];
    for (int c = 0; c < 3; ++c) mesh.debugPoints.push_back(mesh.vert[t.vi[c]]);
    printf("Unknown: (vert, edge, face): %d %d %d\n", nv, ne, nf);
    return 8;
}

// Reports a separating triangle whose above or below tetrahedron does not lie on the side of
// its rest plane that the split cases assume (above: side < 0, below: side >= 0), judged by
// each tetrahedron's rest centroid as it now stands.
void checkOrientation(const TetMesh& tm, const TetMeshFractureInfo::SeparatingTriangle& st,
                      const Triangle& T) {
    const lumo::Vec4<float> centroid(0.25f, 0.25f, 0.25f, 0.25f);
    lumo::Vec3<float> above = tm.tets[st.aboveTet].getWorldCoordinates(tm.restVert, centroid);
    lumo::Vec3<float> below = tm.tets[st.belowTet].getWorldCoordinates(tm.restVert, centroid);
    if (T.n.dot(above) + T.d >= 0) printf("Tet above is on the wrong side!\n");
    if (T.n.dot(below) + T.d < 0) printf("Tet below is on the wrong side!\n");
}

// True when every index the cutter reads from the record is valid for the mesh.
bool recordFits(const TetMesh& tm, const TetMeshFractureInfo& R) {
    int nt = int(tm.tets.size()), nv = int(tm.restVert.size());
    for (const TetMeshFractureInfo::SeparatingTriangle& st : R.separatingTriangles)
        if (st.aboveTet < 0 || st.aboveTet >= nt || st.belowTet < 0 || st.belowTet >= nt ||
            st.face < 0 || st.face > 3)
            return false;
    for (const TetMeshFractureInfo::SeparatingEdge& se : R.separatingEdges)
        if (se.vertex < 0 || se.vertex >= nv || se.other < 0 || se.other >= nv) return false;
    return true;
}

void printCounters(const char* label, const int* counts, int n) {
    printf("%s", label);
    for (int k = 0; k < n; ++k) printf(" %d", counts[k]);
    printf("\n");
}

// Quads are not given corner normals by the crease pass; give each one its own flat face
// normal so that its normal indices keep naming entries of norm.
void flatQuadNormals(Mesh& mesh) {
    for (Mesh::Face& f : mesh.faces) {
        const lumo::Vec3<float>& p0 = mesh.vert[f.vi[0]];
        const lumo::Vec3<float>& p1 = mesh.vert[f.vi[1]];
        const lumo::Vec3<float>& p2 = mesh.vert[f.vi[2]];
        lumo::Vec3<float> n = (p1 - p0) ^ (p2 - p1);
        n.normalize();
        int index = int(mesh.norm.size());
        mesh.norm.push_back(n);
        for (int k = 0; k < 4; ++k) f.ni[k] = index;
    }
}

// Cuts the surface along one separating triangle of record R: every triangle (not made by
// this record's cuts) with a corner bound to a tetrahedron of R is classified and handed to
// its split case; then the face points are fixed, the counts printed and the crack front
// linked.
void cutAlongSeparatingTriangle(SplitContext& ctx, TetBoundMesh& mesh, const TetMeshFractureInfo& R,
                                const TetMeshFractureInfo::SeparatingTriangle& st) {
    const TetMesh& tm = *mesh.tetMesh;
    const TriangleIndices sepTriIdx = tm.tets[st.aboveTet].faceVertices(st.face);
    Triangle T(tm.restVert, sepTriIdx);
    ctx.setSeparatingTriangle(st, sepTriIdx, T);
    checkOrientation(tm, st, T);

    int hist[9] = {0}, partial[4] = {0};
    int N = int(mesh.tris.size());
    for (int i = 0; i < N; ++i) {
        if (ctx.newTris.count(i)) continue;
        int k = 0;
        for (int c = 0; c < 3; ++c)
            if (R.affectsTetrahedron(mesh.bindings[mesh.tris[i].vi[c]].tet)) ++k;
        if (k == 0) continue;
        if (k < 3) ++partial[k];
        Crossings x = classify(ctx, mesh, mesh.tris[i]);
        int which = applyCase(ctx, mesh, i, x);
        if (which >= 0) ++hist[which];
    }
    ctx.fixFacePoints();
    printCounters("hist: = ", hist, 9);
    printCounters("partial: = ", partial, 4);
    ctx.findPath();
    ctx.clearNext();
}

// Prints the surface vertices whose rest positions lie on the line of a separating edge (the
// edge's crack is not cut).
void reportVerticesOnEdge(const TetBoundMesh& mesh, const TetMesh& tm,
                          const TetMeshFractureInfo::SeparatingEdge& se) {
    lumo::Vec3<float> o = tm.restVert[se.vertex];
    lumo::Vec3<float> e = tm.restVert[se.other] - o;
    e.normalize();
    for (size_t v = 0; v < mesh.restVert.size(); ++v)
        if (distanceFromLine(mesh.restVert[v], o, e) < 1e-5) printf("%d on sep edge.\n", int(v));
}

}  // namespace

bool TetBoundMesh::fracture() {
    if (!tetMesh) return true;
    TetMesh& tm = *tetMesh;

    for (TetMeshFractureInfo& R : tm.recentFractures) {
        if (!recordFits(tm, R)) {
            fprintf(stderr,
                    "fracture record of vertex %d does not fit the tetrahedral mesh; "
                    "the surface is not cut along it\n",
                    R.vertex);
            continue;
        }
        SplitContext ctx(*this, R);
        for (const TetMeshFractureInfo::SeparatingTriangle& st : R.separatingTriangles)
            cutAlongSeparatingTriangle(ctx, *this, R, st);
        for (const TetMeshFractureInfo::SeparatingEdge& se : R.separatingEdges)
            reportVerticesOnEdge(*this, tm, se);
    }

    initNormalsAutoSmooth(60.0);
    flatQuadNormals(*this);
    return true;
}
