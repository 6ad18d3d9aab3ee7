// The cutting driver on hand-built crossings of the two-tetrahedron crack: classification of a
// surface triangle, the split case it gets, the rewritten and appended triangles, the copies
// each side takes, the links and every printed line.
#include <gtest/gtest.h>

#include <array>

#include "sim/SplitContext.h"
#include "tests/support/sim/BoundMeshes.h"

using boundmeshes::captureStdout;
using boundmeshes::Crack;
using boundmeshes::V3;

namespace {

// Bindings come from a 4x4 least-squares solve stored as float: ~1e-6 on these coordinates.
const double kBindTol = 1e-5;

typedef std::array<int, 3> Corners;

Corners cornersOf(const Mesh::Tri& t) {
    return Corners{t.vi[0], t.vi[1], t.vi[2]};
}

// Corners of every surface triangle, in order.
std::vector<Corners> allCorners(const Crack& c) {
    std::vector<Corners> all;
    for (const Mesh::Tri& t : c.surface.tris) all.push_back(cornersOf(t));
    return all;
}

// Binding tetrahedra of the surface vertices from `first` on.
std::vector<int> tetsFrom(const Crack& c, size_t first) {
    std::vector<int> tets;
    for (size_t v = first; v < c.surface.bindings.size(); ++v)
        tets.push_back(c.surface.bindings[v].tet);
    return tets;
}

// Cuts the surface along the crack's record and returns what the driver printed.
std::string cut(Crack& c) {
    c.post();
    return captureStdout([&] { EXPECT_TRUE(c.surface.fracture()); });
}

// Invariants every cut keeps: a sound surface, crease normals (three per triangle), bindings
// that reproduce rest positions.
void expectSound(const Crack& c) {
    boundmeshes::expectSoundSurface(c.surface);
    EXPECT_EQ(c.surface.norm.size(), 3 * c.surface.tris.size());
    EXPECT_LT(boundmeshes::bindingRestError(c.surface), kBindTol);
}

const char* kNoLinks1 = "Path length: 1 is loop: 0\n";

TEST(SplitCases, TwoEdgePointsCutOffOneCorner) {
    Crack c;
    // a below the plane (above tetrahedron's side), b and c above it: edges 0 and 2 cross.
    c.addTriangle(V3(1, 1, -1), V3(2, 1, 1), V3(1, 2, 1));
    std::string out = cut(c);
    EXPECT_EQ(out, std::string("hist: =  0 1 0 0 0 0 0 0 0\npartial: =  0 0 0 0\n") + kNoLinks1 +
                       kNoLinks1);
    // Edge points: (1.5, 1, 0) -> 3 above / 4 below; (1, 1.5, 0) -> 5 above / 6 below.
    EXPECT_EQ(allCorners(c), (std::vector<Corners>{{0, 3, 5}, {4, 1, 2}, {4, 2, 6}}));
    EXPECT_TRUE(c.surface.restVert[3] == V3(1.5f, 1, 0));
    EXPECT_TRUE(c.surface.restVert[6] == V3(1, 1.5f, 0));
    EXPECT_EQ(tetsFrom(c, 3), (std::vector<int>{0, 1, 0, 1}));
    expectSound(c);
}

// A triangle (1, 1, z0), (2, 1, z1), (1, 2, z2) over vertices 0, 1, 2, with normal index 7 at
// corner 0, and a context with the crack's separating triangle current, for calling the split
// cases directly with crossings the driver would not find on this geometry.
struct Direct : Crack {
    SplitContext ctx;
    explicit Direct(const V3& z) : ctx(surface, record) {
        addTriangle(V3(1, 1, z[0]), V3(2, 1, z[1]), V3(1, 2, z[2]));
        surface.tris[0].ni[0] = 7;
        TriangleIndices idx(2, 0, 1);
        ctx.setSeparatingTriangle(record.separatingTriangles[0], idx, Triangle(tm->restVert, idx));
    }
    EdgePoint edge(int e) { return EdgePoint(true, e, (e + 1) % 3, 0.5, false); }
};

TEST(SplitCases, TwoEdgePointsCutOffTheCornerBetweenThemAndReportSideConflicts) {
    // Edge points are made in argument order: P1 -> 3 above / 4 below, P2 -> 5 / 6.
    struct Case {
        V3 z;
        int e1, e2;
        const char* out;
        std::vector<Corners> corners;
        bool forward;  // link P1 -> P2 (else P2 -> P1)
    } cases[] = {
        {V3(-1, 1, 1), 0, 1, "Down conflict 0\n", {{0, 3, 5}, {0, 5, 2}, {4, 1, 6}}, false},
        {V3(-1, 1, 1),
         1,
         2,
         "Down conflict 0\nDown conflict 1\n",
         {{1, 4, 6}, {1, 6, 0}, {3, 2, 5}},
         true},
        {V3(-1, 1, 1), 0, 2, "", {{0, 3, 5}, {4, 1, 2}, {4, 2, 6}}, false},
        {V3(1, 1, 1),
         0,
         2,
         "Down conflict 2\nDown conflict 3\n",
         {{0, 4, 6}, {3, 1, 2}, {3, 2, 5}},
         true},
        {V3(1, -1, 1),
         0,
         2,
         "Down conflict 3\nDown conflict 4\n",
         {{0, 4, 6}, {3, 1, 2}, {3, 2, 5}},
         true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(&k - cases);
        Direct c(k.z);
        EdgePoint p1 = c.edge(k.e1), p2 = c.edge(k.e2);
        EXPECT_EQ(captureStdout([&] { c.ctx.splitTwoEdgePoints(0, p1, p2, k.e1, k.e2); }), k.out);
        EXPECT_EQ(allCorners(c), k.corners);
        EXPECT_EQ(c.surface.tris[0].ni[0], 7);  // kept by the in-place rewrite
        EXPECT_EQ(c.surface.tris[2].ni[0], 0);
        EXPECT_EQ(c.ctx.splitVerts[0].next, k.forward ? 1 : -1);
        EXPECT_EQ(c.ctx.splitVerts[1].next, k.forward ? -1 : 0);
        EXPECT_EQ(c.ctx.splitTris, (std::set<int>{0, 1, 2}));
    }
}

TEST(SplitCases, OneEdgeOneFaceWithAgreeingSidesIsReportedAndCutAllTheSame) {
    Direct c(V3(1, 1, -1));
    EdgePoint ep = c.edge(0), fp(true, 0, 1, 0.25, false);
    EXPECT_EQ(captureStdout([&] { c.ctx.splitOneEdgeOneFace(0, ep, 0, fp, 0); }),
              "Creating face point (split) 5, 6\n"
              "splitOneEdge, edge: 3 4,  Face: 5, 6\nInconsistent downs.\n");
    EXPECT_EQ(allCorners(c), (std::vector<Corners>{{0, 4, 6}, {3, 1, 5}, {1, 2, 5}, {2, 0, 5}}));
    EXPECT_EQ(c.ctx.splitVerts[0].next, 1);  // up(corner 0): edge point -> face point
}

TEST(SplitCases, OneEdgeAndOneFacePointMakeAFan) {
    Crack c;
    // In the plane x = 2: the edge b -> c crosses the separating triangle at (2, 0.75, 0), the
    // edge c -> a crosses the plane outside it, and the separating-triangle edge 0 -> 1 (the
    // x axis, touching the split vertex) pierces the triangle at (2, 0, 0).
    c.addTriangle(V3(2, -1, -1), V3(2, 1, -1), V3(2, 0.5f, 1));
    std::string out = cut(c);
    EXPECT_EQ(out, std::string("Creating face point (split) 5, 6\n"
                               "splitOneEdge, edge: 3 4,  Face: 5, 6\n"
                               "1 is on edge 1\n"
                               "hist: =  0 0 1 0 0 0 0 0 0\npartial: =  0 0 0 0\n") +
                       kNoLinks1 + kNoLinks1);
    EXPECT_EQ(allCorners(c), (std::vector<Corners>{{1, 3, 5}, {4, 2, 6}, {2, 0, 5}, {0, 1, 5}}));
    EXPECT_TRUE(c.surface.restVert[5] == V3(2, 0, 0));
    EXPECT_EQ(tetsFrom(c, 3), (std::vector<int>{0, 1, 0, 1}));
    expectSound(c);
}

TEST(SplitCases, OneVertexAndTheOppositeEdge) {
    Crack c;
    // Corner a lies on the separating triangle; the opposite edge crosses it at (2, 1.5, 0).
    c.addTriangle(V3(1, 1, 0), V3(2, 1, -1), V3(2, 2, 1));
    std::string out = cut(c);
    EXPECT_EQ(out,
              "OneVertexOneEdge (split) 0, 3 (down: 1, using 2)\n"
              "  0 (1) 1 (0) 2 (1)\n"
              "hist: =  0 0 0 1 0 0 0 0 0\npartial: =  0 0 0 0\n"
              "Path length: 2 is loop: 0\n");
    EXPECT_EQ(allCorners(c), (std::vector<Corners>{{3, 5, 2}, {0, 1, 4}}));
    // The opened vertex keeps its index and is re-bound to the above tetrahedron.
    EXPECT_EQ(tetsFrom(c, 0), (std::vector<int>{0, 0, 1, 1, 0, 1}));
    expectSound(c);
}

TEST(SplitCases, TouchingAtOneCornerOpensOnlyThatCorner) {
    for (int otherAbove = 0; otherAbove < 2; ++otherAbove) {
        Crack c;
        c.addTriangle(V3(1, 1, 0), V3(2, 1, 1), V3(1, 2, 1));
        // Both other corners bound below takes the below copy; one bound above takes `first`.
        if (otherAbove) c.surface.bindings[1].tet = 0;
        std::string out = cut(c);
        std::string counts =
            otherAbove ? "nabove: 1 nbelow: 1  (0, 1, 2)\n" : "nabove: 0 nbelow: 2  (0, 1, 2)\n";
        EXPECT_EQ(out, counts +
                           "below: 1 1  2.000000 1\n"
                           "hist: =  1 0 0 0 0 0 0 0 0\npartial: =  0 0 0 0\n" +
                           kNoLinks1);
        EXPECT_EQ(allCorners(c), (std::vector<Corners>{{otherAbove ? 0 : 3, 1, 2}}));
        EXPECT_EQ(c.surface.vert.size(), 4u);
    }
}

TEST(SplitCases, CrackFrontKeepsTheTriangleClosed) {
    Crack c;
    // Edge a -> b crosses the line x + y = 4 of the separating-triangle edge 1 -> 2, which does
    // not touch the split vertex: the crack ends inside this triangle.
    c.addTriangle(V3(2.5f, 1.5f, -1), V3(2.5f, 1.5f, 1), V3(3.5f, 1.5f, 0.5f));
    std::string out = cut(c);
    EXPECT_EQ(out, std::string("Edge point is face edge on non-splitting edge.\n"
                               "0 is on edge 2\n"
                               "hist: =  0 0 0 0 0 0 0 1 0\npartial: =  0 0 0 0\n") +
                       kNoLinks1);
    EXPECT_EQ(allCorners(c), (std::vector<Corners>{{3, 1, 2}, {0, 3, 2}}));
    EXPECT_EQ(c.surface.vert.size(), 4u);  // one shared cut point
    expectSound(c);
}

TEST(SplitCases, TrianglesReopenedInPlaceOrLeftUncut) {
    const std::string counts = "partial: =  0 0 0 0\n";
    const std::string open = "hist: =  0 0 0 0 0 1 0 0 0\n" + counts + kNoLinks1 + kNoLinks1;
    const std::string c4 = " Case 4 not handled\nhist: =  0 0 0 0 1 0 0 0 0\n" + counts;
    const std::string c6 = "hist: =  0 0 0 0 0 0 1 0 0\n" + counts;
    const std::string c8 =
        "Unknown: (vert, edge, face): 3 0 0\nhist: =  0 0 0 0 0 0 0 0 1\n" + counts;
    const V3 a(1, 1, 0), b(2, 1, 0);
    struct Case {
        V3 a, b, c;
        const std::string& out;
        Corners corners;
        size_t verts;
    } cases[] = {
        // Case 5: two corners on the plane take the copies of the third corner's side; a third
        // corner exactly on the plane (side 0) but off the triangle counts as below.
        {a, b, V3(1.5f, 1.2f, 1), open, {3, 4, 2}, 5},
        {a, b, V3(5, 5, 0), open, {3, 4, 2}, 5},
        {a, b, V3(1.5f, 1.2f, -1), open, {0, 1, 2}, 5},
        // Case 4: one corner on the plane and a face point.
        {a, V3(3, -1, 1), V3(3, -1, -1), c4, {0, 1, 2}, 3},
        // Case 6: the x and y axes pierce a triangle in the plane x + y = 1.
        {V3(3, -2, -1), V3(-2, 3, -1), V3(0.5f, 0.5f, 2), c6, {0, 1, 2}, 3},
        // Case 8: all three corners on the separating triangle; marked by debug points.
        {a, b, V3(1, 2, 0), c8, {0, 1, 2}, 3},
    };
    for (const Case& k : cases) {
        Crack c;
        c.addTriangle(k.a, k.b, k.c);
        SCOPED_TRACE(&k - cases);
        EXPECT_EQ(cut(c), k.out);
        EXPECT_EQ(allCorners(c), std::vector<Corners>{k.corners});
        EXPECT_EQ(c.surface.vert.size(), k.verts);
        std::vector<V3> marks;
        if (&k.out == &c8) marks = {k.a, k.b, k.c};
        EXPECT_TRUE(c.surface.debugPoints == marks);
        expectSound(c);
    }
}

TEST(SplitCases, OnlyTrianglesBoundNearTheCrackAreCut) {
    Crack c;
    c.addTriangle(V3(1, 1, -1), V3(2, 1, 1), V3(1, 2, 1));
    for (TetBoundMesh::TetBinding& b : c.surface.bindings) b.tet = 7;  // not in the record
    EXPECT_EQ(cut(c), "hist: =  0 0 0 0 0 0 0 0 0\npartial: =  0 0 0 0\n");
    EXPECT_EQ(c.surface.tris.size(), 1u);

    // Two affected corners out of three count as partial, and the cut goes on.
    Crack d;
    d.addTriangle(V3(1, 1, -1), V3(2, 1, 1), V3(1, 2, 1));
    d.surface.bindings[2].tet = 7;
    EXPECT_EQ(cut(d), std::string("hist: =  0 1 0 0 0 0 0 0 0\npartial: =  0 0 1 0\n") + kNoLinks1 +
                          kNoLinks1);
    EXPECT_EQ(d.surface.tris.size(), 3u);
}

TEST(SplitCases, FacePointsNearTheTrianglesOwnPointsAreDropped) {
    // The x axis pierces this triangle at (2, 0, 0), 0.0001 from its on-plane corner a.
    Crack c;
    c.addTriangle(V3(2, 0.0001f, 0), V3(2, -1, -1), V3(2, -1, 1));
    std::string out = cut(c);
    EXPECT_EQ(out.find("Face point is bad.\nnabove: 1 nbelow: 1"), 0u) << out;
    EXPECT_EQ(out.find("close"), std::string::npos);

    // Edge b -> c crosses the plane at (2, 0.00005, 0), 0.00005 from where the x axis pierces
    // the triangle: the face point goes, and the crossing alone (on the line of the splitting
    // edge 0 -> 1) is cut as a crack front.
    Crack d;
    d.addTriangle(V3(2, -1, -1), V3(2, 0.00005f, -1), V3(2, 0.00005f, 1));
    out = cut(d);
    EXPECT_EQ(out.find("Face vert close to edge point.\nFace point is bad.\n"
                       "Created face edge point: 3 4\n"),
              0u)
        << out;
    EXPECT_NE(out.find("hist: =  0 0 0 0 0 0 0 1 0\n"), std::string::npos);
    expectSound(d);
}

TEST(SplitCases, SeparatingEdgesAreReported) {
    Crack c;
    c.record.separatingTriangles.clear();
    TetMeshFractureInfo::SeparatingEdge se;
    se.vertex = 0, se.newVertex = 5, se.other = 3;  // the z axis below the plane
    c.record.separatingEdges.push_back(se);
    c.addVertex(V3(1, 1, -1), 0);
    c.addVertex(V3(0, 0, -1), 0);
    c.addVertex(V3(0, 0, 7), 1);  // beyond the edge, still on its line
    EXPECT_EQ(cut(c), "1 on sep edge.\n2 on sep edge.\n");
}

TEST(SplitCases, OrientationDiagnostics) {
    Crack c;
    c.tm->restVert[3] = V3(0, 0, 4);  // tetrahedron 0 now lies above the plane
    EXPECT_EQ(cut(c),
              "Tet above is on the wrong side!\nhist: =  0 0 0 0 0 0 0 0 0\n"
              "partial: =  0 0 0 0\n");
    Crack d;
    d.tm->restVert[4] = V3(0, 0, -4);
    EXPECT_EQ(cut(d),
              "Tet below is on the wrong side!\nhist: =  0 0 0 0 0 0 0 0 0\n"
              "partial: =  0 0 0 0\n");
}

}  // namespace
