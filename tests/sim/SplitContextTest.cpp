// Cut points of a split context (making, caching, bindings, messages) and the crack-front
// linking and capping, on the two-tetrahedron crack of the test support.
#include <gtest/gtest.h>

#include "sim/SplitContext.h"
#include "tests/support/sim/BoundMeshes.h"

using boundmeshes::captureStdout;
using boundmeshes::Crack;
using boundmeshes::V3;

namespace {

// Rest positions are sums of a few small binary fractions; bindings go through a 4x4 least-
// squares solve in double and are stored as float, so they reproduce positions to ~1e-6.
const double kBindTol = 1e-5;

// A context on the crack's record with its separating triangle current.
struct CrackContext : Crack {
    SplitContext ctx;
    CrackContext() : ctx(surface, record) {}
    void makeCurrent() {
        TriangleIndices idx(2, 0, 1);
        ctx.setSeparatingTriangle(record.separatingTriangles[0], idx, Triangle(tm->restVert, idx));
    }
    void expectParallel() {
        EXPECT_EQ(surface.vert.size(), surface.restVert.size());
        EXPECT_EQ(surface.vert.size(), surface.bindings.size());
    }
};

TEST(SplitContext, ConstructorAndSideRule) {
    CrackContext c;
    int below = c.addVertex(V3(1, 1, 0.5f), 1);
    int above = c.addVertex(V3(1, 1, -0.5f), 0);
    int on = c.addVertex(V3(1, 1, 0), 0);
    SplitContext fresh(c.surface, c.record);
    EXPECT_EQ(fresh.stride, 10 * 3 + 100);
    EXPECT_TRUE(fresh.sepTri.aboveTet == -1 && fresh.sepTri.belowTet == -1 &&
                fresh.sepTri.face == -1);
    EXPECT_EQ(fresh.sepTriangle.d, 0.0);
    EXPECT_TRUE(fresh.sepTriangle.n == V3(0, 0, 0));
    EXPECT_TRUE(fresh.splitVerts.empty() && fresh.edgePointMap.empty());
    // Keys are 64-bit: exact far beyond 32-bit range.
    EXPECT_EQ(fresh.edgeKey(3000000, 7), SplitContext::EdgeKey(130) * 3000000 + 7);

    c.makeCurrent();
    EXPECT_DOUBLE_EQ(c.ctx.side(below), 0.5);
    EXPECT_TRUE(c.ctx.up(below));
    EXPECT_FALSE(c.ctx.up(above));
    EXPECT_TRUE(c.ctx.up(on));  // side 0 counts as below
}

TEST(SplitContext, EdgePointsAreMadeOnceAndOpenExceptAtTheCrackFront) {
    CrackContext c;
    int a = c.addVertex(V3(1, 1, -1), 0), b = c.addVertex(V3(2, 1, 1), 1);
    int f0 = c.addVertex(V3(2.5f, 1.5f, -1), 0), f1 = c.addVertex(V3(2.5f, 1.5f, 1), 1);
    int s0 = c.addVertex(V3(2, -1, -1), 0), s1 = c.addVertex(V3(2, 1, 1), 1);
    c.makeCurrent();

    // Plain crossing: two copies, nothing printed.
    EdgePoint ep(true, a, b, 0.5, false), reversed(true, b, a, 0.5, false);
    std::string out = captureStdout([&] {
        SplitVertex P = c.ctx.getEdgePoint(ep);
        EXPECT_TRUE(P.first == 6 && P.second == 7 && P.next == -1);
    });
    EXPECT_EQ(out, "");
    EXPECT_TRUE(c.surface.restVert[6] == V3(1.5f, 1, 0));
    EXPECT_EQ(c.surface.bindings[6].tet, 0);
    EXPECT_EQ(c.surface.bindings[7].tet, 1);
    // The neighbour across the edge runs it the other way and finds the same point.
    EXPECT_EQ(c.ctx.getEdgePoint(reversed).first, 6);
    EXPECT_EQ(c.surface.vert.size(), 8u);
    EXPECT_TRUE(c.ctx.getEdgePointIndex(ep) == 0 && c.ctx.getEdgePointIndex(reversed) == 0);
    EXPECT_TRUE(c.ctx.getVertexIndex(6) == 0 && c.ctx.getVertexIndex(7) == 0);

    // On separating-triangle edge 1 -> 2, not touching the split vertex 0: the crack front.
    EdgePoint front(true, f0, f1, 0.5, true, 0);
    out = captureStdout([&] {
        SplitVertex P = c.ctx.getEdgePoint(front);
        EXPECT_EQ(P.first, P.second);
    });
    EXPECT_EQ(out, "Edge point is face edge on non-splitting edge.\n");
    EXPECT_EQ(c.surface.bindings[8].tet, 0);
    // On edge 0 -> 1, touching it: the crack opens there.
    EdgePoint open(true, s0, s1, 0.5, true, 1);
    EXPECT_EQ(captureStdout([&] { c.ctx.getEdgePoint(open); }), "Created face edge point: 9 10\n");
    c.expectParallel();
    EXPECT_LT(boundmeshes::bindingRestError(c.surface), kBindTol);

    EdgePoint sepEdge(true, 0, 1, 0, false), other(true, 1, 2, 0, false);
    EXPECT_EQ(c.ctx.triangleEdgeSplitting(sepEdge), 1);
    EXPECT_EQ(c.ctx.triangleEdgeSplitting(other), 0);
}

TEST(SplitContext, OpenedVerticesFacePointsAndCorners) {
    CrackContext c;
    int v = c.addVertex(V3(1, 1, 0), 1);
    c.makeCurrent();
    // Opening keeps v, re-binds it above and appends a copy below; a second call reuses it.
    SplitVertex P = c.ctx.getVertex(v);
    EXPECT_TRUE(P.first == v && P.second == 1);
    EXPECT_EQ(c.surface.bindings[v].tet, 0);
    EXPECT_EQ(c.surface.bindings[1].tet, 1);
    EXPECT_EQ(c.ctx.getVertex(v).second, 1);
    EXPECT_EQ(c.surface.vert.size(), 2u);
    EXPECT_EQ(c.ctx.getVertexIndex(1), 0);

    // Face points are never cached, and open only on edges touching the split vertex.
    EdgePoint splitting(true, 0, 1, 0.25, false), plain(true, 1, 2, 0.5, false);
    EXPECT_EQ(captureStdout([&] { c.ctx.createFacePoint(splitting); }),
              "Creating face point (split) 2, 3\n");
    EXPECT_TRUE(c.surface.restVert[2] == V3(1, 0, 0));
    EXPECT_EQ(captureStdout([&] { c.ctx.createFacePoint(splitting); }),
              "Creating face point (split) 4, 5\n");
    std::string out = captureStdout([&] {
        SplitVertex F = c.ctx.createFacePoint(plain);
        EXPECT_EQ(F.first, F.second);
    });
    EXPECT_EQ(out, "");
    EXPECT_TRUE(c.surface.restVert[6] == V3(2, 2, 0));
    EXPECT_EQ(c.ctx.getVertexIndex(6), 3);

    // Corner points: the split vertex and its copy are one point, in two copies.
    SplitVertex Q = c.ctx.getSplitTriangleVertex(5);  // newVertex first
    EXPECT_NE(Q.first, Q.second);
    EXPECT_EQ(c.ctx.getSplitTriangleVertex(0).first, Q.first);
    SplitVertex R = c.ctx.getSplitTriangleVertex(2);
    EXPECT_EQ(R.first, R.second);
    EXPECT_TRUE(c.surface.restVert[R.first] == V3(0, 4, 0));
    EXPECT_EQ(c.ctx.tetVertMap.size(), 3u);
    EXPECT_EQ(c.ctx.splitVertMap.count(R.first), 0u);
    c.expectParallel();
    EXPECT_LT(boundmeshes::bindingRestError(c.surface), kBindTol);
}

TEST(SplitContextDeathTest, LookUpsOfPointsNeverMadeAssert) {
    CrackContext c;
    c.makeCurrent();
    EdgePoint ep(true, 3, 4, 0.5, false);
    EXPECT_DEATH(c.ctx.getEdgePointIndex(ep), "edgePointMap.count\\(index\\)");
    EXPECT_DEATH(c.ctx.getVertexIndex(7), "splitVertMap.count\\(vi\\)");
}

// ---- crack front: linking and capping ----

// A context with n plain cut points (first i, second n + i) at the given rest positions.
struct PointsContext : CrackContext {
    explicit PointsContext(const std::vector<V3>& where) {
        makeCurrent();
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

TEST(CrackFront, ClosedChainGetsTwoCapsOfOppositeWinding) {
    PointsContext c({V3(1, 1, 0), V3(2, 1, 0), V3(2, 2, 0), V3(1.5f, 2.5f, 0), V3(1, 2, 0)});
    for (int i = 0; i < 5; ++i) c.ctx.splitVerts[i].next = (i + 1) % 5;
    EXPECT_EQ(captureStdout([&] { c.ctx.findPath(); }),
              "Path length: 5 is loop: 1\n0 1 2 3 4 \n5 6 7 8 9 \n");
    // 2 (n - 2) caps: a fan over the first copies, one of opposite winding over the second.
    const int caps[6][3] = {{0, 1, 2}, {0, 2, 3}, {0, 3, 4}, {5, 7, 6}, {5, 8, 7}, {5, 9, 8}};
    ASSERT_EQ(c.surface.tris.size(), 6u);
    EXPECT_EQ(c.ctx.newTris, (std::set<int>{0, 1, 2, 3, 4, 5}));
    for (int k = 0; k < 6; ++k) {
        for (int j = 0; j < 3; ++j) {
            EXPECT_EQ(c.surface.tris[k].vi[j], caps[k][j]);
            EXPECT_EQ(c.surface.tris[k].ni[j] + c.surface.tris[k].tci[j], 0);
        }
    }
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
    // No crossings: edge 1 (0 -> 1) has both corners inside and is linked; edges 0 (2 -> 0)
    // and 2 (1 -> 2) have one inside corner each, left alone. Vertex 5 has no flag.
    PointsContext corners({});
    corners.surface.insideFlags = {true, true, false, false, false};
    EXPECT_EQ(captureStdout([&] { corners.ctx.fixFacePoints(); }), "linnking 0 - 1\n");
    EXPECT_EQ(corners.nexts(), (std::vector<int>{1, -1}));
    const SplitVertex& split = corners.ctx.splitVerts[0];
    EXPECT_NE(split.first, split.second);  // the split vertex opens
    EXPECT_EQ(corners.ctx.tetVertMap.at(5), 0);
    EXPECT_EQ(corners.ctx.splitVerts[1].first, corners.ctx.splitVerts[1].second);

    // Two crossings of edge 1 (y = 0) at x = 3 and x = 1 (listed in that order), one near no
    // edge, one on edge 2 (x + y = 4) at (3, 1, 0) and one on edge 0 (x = 0) at (0, 2, 0).
    // Corner points: 0 -> 5 (made for edge 0, whose end it is), 1 -> 6.
    PointsContext c({V3(3, 0, 0), V3(1, 0, 0), V3(1, 1, 0), V3(3, 1, 0), V3(0, 2, 0)});
    c.surface.insideFlags = {true, true, false, false, false};
    EXPECT_EQ(captureStdout([&] { c.ctx.fixFacePoints(); }),
              "0 is on edge 1\n1 is on edge 1\n3 is on edge 2\n4 is on edge 0\n"
              "linnking 4 - 5\nlinnking 5 - 1\nlinnking 0 - 6\nlinnking 6 - 3\n");
    EXPECT_EQ(c.nexts(), (std::vector<int>{6, -1, -1, -1, 5, 1, 3}));
}

}  // namespace
