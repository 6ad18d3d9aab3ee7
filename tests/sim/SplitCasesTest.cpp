// Cutting a bound surface on the two-tetrahedron test crack: the split case per triangle (its
// triangles, copies and printed lines) and the crack-front linking and capping.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "sim/SplitContext.h"
#include "tests/support/sim/BoundMeshes.h"

using boundmeshes::captureStdout;
using boundmeshes::Crack;
using boundmeshes::V3;

namespace {

typedef std::array<int, 3> Corners;

// Corners of every surface triangle, in order.
std::vector<Corners> allCorners(const Crack& c) {
    std::vector<Corners> all;
    for (const Mesh::Tri& t : c.surface.tris) all.push_back(Corners{t.vi[0], t.vi[1], t.vi[2]});
    return all;
}

// Cuts the surface along the crack's record and returns what the driver printed.
std::string cut(Crack& c) {
    c.post();
    return captureStdout([&] { EXPECT_TRUE(c.surface.fracture()); });
}

// A sound surface, three crease normals per triangle, bindings reproducing rest positions.
void expectSound(const Crack& c) {
    boundmeshes::expectSoundSurface(c.surface);
    EXPECT_EQ(c.surface.norm.size(), 3 * c.surface.tris.size());
    // Bindings come from a 4x4 least-squares solve stored as float: ~1e-6 here.
    EXPECT_LT(boundmeshes::bindingRestError(c.surface), 1e-5);
}

// The counter lines of one separating triangle: case k counted once (none when k < 0).
std::string hist(int k, const char* partial = "0 0 0 0") {
    std::string line = "hist: = ";
    for (int i = 0; i < 9; ++i) line += i == k ? " 1" : " 0";
    return line + "\npartial: =  " + partial + "\n";
}

// One driver cut of the triangle (a, b, c), corners bound by z (< 0: tet 0, else 1) unless
// `tets` names them: printed lines, corners, binding tets, rest position of new vertex 3.
void expectCut(const char* what, const V3& a, const V3& b, const V3& c, std::vector<int> tets,
               const std::string& out, const std::vector<Corners>& corners,
               const std::vector<int>& allTets, const V3& at3 = V3()) {
    SCOPED_TRACE(what);
    Crack k;
    k.addTriangle(a, b, c);
    for (size_t i = 0; i < tets.size(); ++i) {
        TetBoundMesh::TetBinding& t = k.surface.bindings[i];
        t.tet = tets[i];
        if (t.tet <= 1) t.bary = k.tm->getRestBaryCoordinates(t.tet, k.surface.restVert[i]);
    }
    EXPECT_EQ(cut(k), out);
    EXPECT_EQ(allCorners(k), corners);
    std::vector<int> bound;
    for (const TetBoundMesh::TetBinding& b : k.surface.bindings) bound.push_back(b.tet);
    EXPECT_EQ(bound, allTets);
    EXPECT_TRUE(k.surface.restVert.size() <= 3 || k.surface.restVert[3] == at3);
    // Triangles bound outside the crack's two tetrahedra cannot be re-posed here.
    if (*std::max_element(allTets.begin(), allTets.end()) <= 1) expectSound(k);
}

TEST(SplitCases, DriverClassifiesAndCutsEachPattern) {
    const std::string links1 = "Path length: 1 is loop: 0\n", links2 = links1 + links1;
    const V3 p(1, 1, 0), q(2, 1, 0);  // two points on the separating triangle
    const V3 a(1, 1, -1), b(2, 1, 1), c(1, 2, 1);
    const std::vector<Corners> cornerCut{{0, 3, 5}, {4, 1, 2}, {4, 2, 6}};
    // Corner 0 below, cut off at (1.5, 1, 0) -> 3 above / 4 below and (1, 1.5, 0) -> 5 / 6.
    expectCut("two edge points", a, b, c, {}, hist(1) + links2, cornerCut, {0, 1, 1, 0, 1, 0, 1},
              V3(1.5f, 1, 0));
    // Plane x = 2: edge 1 crosses at (2, 0.75, 0), the split edge (x axis) pierces at (2, 0, 0).
    expectCut("one edge, one face point", V3(2, -1, -1), V3(2, 1, -1), V3(2, 0.5f, 1), {},
              "Creating face point (split) 5, 6\nsplitOneEdge, edge: 3 4,  Face: 5, 6\n"
              "1 is on edge 1\n" +
                  hist(2) + links2,
              {{1, 3, 5}, {4, 2, 6}, {2, 0, 5}, {0, 1, 5}}, {0, 0, 1, 0, 1, 0, 1}, V3(2, 0.75f, 0));
    // Corner 0 on the plane, opposite edge crossing: corner 0 keeps its index, bound above.
    expectCut("one vertex, opposite edge", p, V3(2, 1, -1), V3(2, 2, 1), {},
              "OneVertexOneEdge (split) 0, 3 (down: 1, using 2)\n  0 (1) 1 (0) 2 (1)\n" + hist(3) +
                  "Path length: 2 is loop: 0\n",
              {{3, 5, 2}, {0, 1, 4}}, {0, 0, 1, 1, 0, 1}, p);
    // Touching at corner 0: the below copy only when both other corners are bound below.
    expectCut("touching, both others below", p, V3(2, 1, 1), V3(1, 2, 1), {},
              "nabove: 0 nbelow: 2  (0, 1, 2)\nbelow: 1 1  2.000000 1\n" + hist(0) + links1,
              {{3, 1, 2}}, {0, 1, 1, 1}, p);
    expectCut("touching, one other above", p, V3(2, 1, 1), V3(1, 2, 1), {1, 0, 1},
              "nabove: 1 nbelow: 1  (0, 1, 2)\nbelow: 1 1  2.000000 1\n" + hist(0) + links1,
              {{0, 1, 2}}, {0, 0, 1, 1}, p);
    // Edge 0 crosses edge 1 -> 2 (x + y = 4, off the split vertex): one shared cut point.
    expectCut("crack front", V3(2.5f, 1.5f, -1), V3(2.5f, 1.5f, 1), V3(3.5f, 1.5f, 0.5f), {},
              "Edge point is face edge on non-splitting edge.\n0 is on edge 2\n" + hist(7) + links1,
              {{3, 1, 2}, {0, 3, 2}}, {0, 1, 1, 0}, V3(2.5f, 1.5f, 0));
    // Two corners on the plane follow the third; one at side 0 off the triangle counts below.
    expectCut("two on, third above", p, q, V3(1.5f, 1.2f, 1), {}, hist(5) + links2, {{3, 4, 2}},
              {0, 0, 1, 1, 1}, p);
    expectCut("two on, third at side 0", p, q, V3(5, 5, 0), {}, hist(5) + links2, {{3, 4, 2}},
              {0, 0, 1, 1, 1}, p);
    expectCut("two on, third below", p, q, V3(1.5f, 1.2f, -1), {}, hist(5) + links2, {{0, 1, 2}},
              {0, 0, 0, 1, 1}, p);
    // Left uncut: corner on the plane and face point; two face points; three corners on it.
    expectCut("case 4", p, V3(3, -1, 1), V3(3, -1, -1), {}, " Case 4 not handled\n" + hist(4),
              {{0, 1, 2}}, {1, 1, 0});
    expectCut("case 6", V3(3, -2, -1), V3(-2, 3, -1), V3(0.5f, 0.5f, 2), {}, hist(6), {{0, 1, 2}},
              {0, 0, 1});
    expectCut("case 8", p, q, V3(1, 2, 0), {}, "Unknown: (vert, edge, face): 3 0 0\n" + hist(8),
              {{0, 1, 2}}, {1, 1, 1});
    // Face points near the triangle's own points are dropped: 0.0001 from an on-plane corner;
    // 0.00005 from an edge crossing, which is then cut as a crack front.
    const V3 nearP(2, 0.0001f, 0), nearE(2, 0.00005f, 0);
    expectCut("face point near a corner", nearP, V3(2, -1, -1), V3(2, -1, 1), {},
              "Face point is bad.\nnabove: 1 nbelow: 1  (0, 1, 2)\nbelow: 0 1  0.000000 0\n" +
                  hist(0) + links1,
              {{0, 1, 2}}, {0, 0, 1, 1}, nearP);
    expectCut("face point near an edge point", V3(2, -1, -1), V3(2, 0.00005f, -1),
              V3(2, 0.00005f, 1), {},
              "Face vert close to edge point.\nFace point is bad.\nCreated face edge point: 3 4\n" +
                  hist(7) + links1,
              {{4, 2, 0}, {1, 3, 0}}, {0, 0, 1, 0, 1}, nearE);
    // Only triangles with a corner in the record's tets are examined; two such corners: partial.
    expectCut("not affected", a, b, c, {7, 7, 7}, hist(-1), {{0, 1, 2}}, {7, 7, 7});
    expectCut("partial", a, b, c, {0, 1, 7}, hist(1, "0 0 1 0") + links2, cornerCut,
              {0, 1, 7, 0, 1, 0, 1}, V3(1.5f, 1, 0));
}

// A context on the crack's record, its separating triangle current, with n plain cut points
// (first i, second n + i) at the given rest positions.
struct PointsContext : Crack {
    SplitContext ctx;
    explicit PointsContext(const std::vector<V3>& where) : ctx(surface, record) {
        TriangleIndices idx(2, 0, 1);
        ctx.setSeparatingTriangle(record.separatingTriangles[0], idx, Triangle(tm->restVert, idx));
        int n = int(where.size());
        for (int i = 0; i < n; ++i) addVertex(where[i], 0);
        for (int i = 0; i < n; ++i) addVertex(where[i], 1);
        for (int i = 0; i < n; ++i) {
            ctx.splitVerts.push_back(SplitVertex{i, n + i, -1});
            ctx.splitVertMap[i] = ctx.splitVertMap[n + i] = i;
        }
    }
    std::vector<int> nexts() const {
        std::vector<int> all;
        for (const SplitVertex& v : ctx.splitVerts) all.push_back(v.next);
        return all;
    }
};

// The triangle (1, 1, z0), (2, 1, z1), (1, 2, z2), normal index 7 at corner 0, for calling the
// split cases directly with crossings the driver would not find on this geometry.
struct Direct : PointsContext {
    explicit Direct(const V3& z) : PointsContext({}) {
        addTriangle(V3(1, 1, z[0]), V3(2, 1, z[1]), V3(1, 2, z[2]));
        surface.tris[0].ni[0] = 7;
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
        // clang-format off
        {V3(-1, 1, 1), 0, 1, "Down conflict 0\n", {{0, 3, 5}, {0, 5, 2}, {4, 1, 6}}, false},
        {V3(-1, 1, 1), 1, 2, "Down conflict 0\nDown conflict 1\n", {{1, 4, 6}, {1, 6, 0}, {3, 2, 5}},
         true},
        {V3(-1, 1, 1), 0, 2, "", {{0, 3, 5}, {4, 1, 2}, {4, 2, 6}}, false},
        {V3(1, 1, 1), 0, 2, "Down conflict 2\nDown conflict 3\n", {{0, 4, 6}, {3, 1, 2}, {3, 2, 5}},
         true},
        {V3(1, -1, 1), 0, 2, "Down conflict 3\nDown conflict 4\n", {{0, 4, 6}, {3, 1, 2}, {3, 2, 5}},
         true},
        // clang-format on
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

TEST(SplitCases, SeparatingEdgesAreReported) {
    Crack c;
    c.record.separatingTriangles.clear();
    c.record.separatingEdges.push_back({0, 5, 3});  // the z axis below the plane
    c.addVertex(V3(1, 1, -1), 0);
    c.addVertex(V3(0, 0, -1), 0);
    c.addVertex(V3(0, 0, 7), 1);  // beyond the edge, still on its line
    EXPECT_EQ(cut(c), "1 on sep edge.\n2 on sep edge.\n");
}

TEST(SplitCases, OrientationDiagnostics) {
    // The apex of tetrahedron 0 (vertex 3) or 1 (vertex 4) moved across the plane.
    for (const std::string side : {"above", "below"}) {
        Crack c;
        c.tm->restVert[side == "above" ? 3 : 4] = V3(0, 0, side == "above" ? 4 : -4);
        EXPECT_EQ(cut(c), "Tet " + side + " is on the wrong side!\n" + hist(-1));
    }
}

TEST(CrackFront, ClosedChainGetsTwoCapsOfOppositeWinding) {
    PointsContext c({V3(1, 1, 0), V3(2, 1, 0), V3(2, 2, 0), V3(1.5f, 2.5f, 0), V3(1, 2, 0)});
    for (int i = 0; i < 5; ++i) c.ctx.splitVerts[i].next = (i + 1) % 5;
    EXPECT_EQ(captureStdout([&] { c.ctx.findPath(); }),
              "Path length: 5 is loop: 1\n0 1 2 3 4 \n5 6 7 8 9 \n");
    // 2 (n - 2) caps: a fan over the first copies, one of opposite winding over the second.
    EXPECT_EQ(
        allCorners(c),
        (std::vector<Corners>{{0, 1, 2}, {0, 2, 3}, {0, 3, 4}, {5, 7, 6}, {5, 8, 7}, {5, 9, 8}}));
    EXPECT_EQ(c.ctx.newTris, (std::set<int>{0, 1, 2, 3, 4, 5}));
    for (const Mesh::Tri& t : c.surface.tris)
        for (int j = 0; j < 3; ++j) EXPECT_EQ(t.ni[j] + t.tci[j], 0);
    // Clearing the links leaves only single-point paths.
    c.ctx.clearNext();
    std::string ones;
    for (int i = 0; i < 5; ++i) ones += "Path length: 1 is loop: 0\n";
    EXPECT_EQ(captureStdout([&] { c.ctx.findPath(); }), ones);
}

TEST(CrackFront, ShortLoopsAndOpenPaths) {
    PointsContext c({V3(1, 1, 0), V3(2, 1, 0), V3(2, 2, 0), V3(3, 0.5f, 0)});
    // A loop of length 1, one of length 2, and a path running into it: not a loop.
    for (int i = 0; i < 4; ++i) c.ctx.splitVerts[i].next = std::vector<int>{0, 2, 1, 1}[i];
    EXPECT_EQ(captureStdout([&] { c.ctx.findPath(); }),
              "Path length: 1 is loop: 1\n0 \n4 \n"
              "Path length: 2 is loop: 1\n1 2 \n5 6 \n"
              "Path length: 1 is loop: 0\n");
    EXPECT_TRUE(c.surface.tris.empty());
}

TEST(CrackFront, InsideCornersAndCrossingsLinkAlongEdges) {
    // No crossings: only edge 1 (0 -> 1) has both corners inside and is linked; 5 has no flag.
    PointsContext corners({});
    corners.surface.insideFlags = {true, true, false, false, false};
    EXPECT_EQ(captureStdout([&] { corners.ctx.fixFacePoints(); }), "linnking 0 - 1\n");
    EXPECT_EQ(corners.nexts(), (std::vector<int>{1, -1}));
    EXPECT_NE(corners.ctx.splitVerts[0].first, corners.ctx.splitVerts[0].second);  // opens
    EXPECT_EQ(corners.ctx.tetVertMap.at(5), 0);
    EXPECT_EQ(corners.ctx.splitVerts[1].first, corners.ctx.splitVerts[1].second);

    // Crossings of edge 1 (y = 0) at x = 3 and 1, one near no edge, one each on edges 2
    // (x + y = 4) and 0 (x = 0). Corner points: 0 -> 5 (made for edge 0), 1 -> 6.
    PointsContext c({V3(3, 0, 0), V3(1, 0, 0), V3(1, 1, 0), V3(3, 1, 0), V3(0, 2, 0)});
    c.surface.insideFlags = {true, true, false, false, false};
    EXPECT_EQ(captureStdout([&] { c.ctx.fixFacePoints(); }),
              "0 is on edge 1\n1 is on edge 1\n3 is on edge 2\n4 is on edge 0\n"
              "linnking 4 - 5\nlinnking 5 - 1\nlinnking 0 - 6\nlinnking 6 - 3\n");
    EXPECT_EQ(c.nexts(), (std::vector<int>{6, -1, -1, -1, 5, 1, 3}));
}

}  // namespace
