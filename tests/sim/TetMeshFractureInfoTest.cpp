// Tests of the fracture record: separating triangles and edges of small hand-built splits, the
// lines printed while finding them, and the record's value semantics.
#include <array>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/TetMeshFractureInfo.h"
#include "tests/support/Capture.h"
#include "tests/support/sim/FractureMeshes.h"

namespace {

// A tetrahedron whose verts are exactly {s0, s1, s2, s3} (the value constructor stores its
// arguments (a, b, c, d) in the slot order a, c, d, b).
Tetrahedron slots(int s0, int s1, int s2, int s3) {
    return Tetrahedron(s0, s3, s1, s2);
}

using testsupport::captureStdout;

// The octahedral star as bare elements (only their vertex indices matter here).
std::vector<Tetrahedron> octahedronStar() {
    std::vector<Tetrahedron> tets;
    for (const auto& t : fracturemeshes::octahedronStar().tets) {
        tets.push_back(Tetrahedron(t[0], t[1], t[2], t[3]));
    }
    return tets;
}

// Gives the tetrahedra listed in below the new vertex in place of the old one.
void splitVertex(std::vector<Tetrahedron>& tets, int vertex, int newVertex,
                 const std::vector<int>& below) {
    for (int t : below) ASSERT_TRUE(tets[t].replaceVert(vertex, newVertex));
}

std::set<int> cornersOf(const Tetrahedron& t, int face) {
    std::set<int> c;
    for (int k = 0; k < 3; ++k) c.insert(t.verts[Tetrahedron::tris[face][k]]);
    return c;
}

}  // namespace

TEST(TetMeshFractureInfo, SharedFaceGivesOneSeparatingTriangle) {
    // Face 0 of the first (0, 1, 2) is face 0 of the second (1, 0, 2) wound the other way.
    std::vector<Tetrahedron> tets = {slots(0, 1, 2, 3), slots(1, 0, 2, 4)};
    splitVertex(tets, 0, 5, {1});
    const char* expected =
        "Above: 0,1,2,3\n"
        "Below: 1,5,2,4\n"
        "Found sep tri: 0/1 0/1\n"
        "Sep tri:\n"
        "0 1 2  (0, 5)\n";
    TetMeshFractureInfo info;
    EXPECT_EQ(captureStdout([&] {
                  info = TetMeshFractureInfo(tets, 0, lumo::Vec3<float>(0, 1, 0), -0.5, 0, 5, {0},
                                             {1});
              }),
              expected);
    ASSERT_EQ(info.separatingTriangles.size(), 1u);
    EXPECT_EQ(info.separatingTriangles[0].aboveTet, 0);
    EXPECT_EQ(info.separatingTriangles[0].belowTet, 1);
    EXPECT_EQ(info.separatingTriangles[0].face, 0);
    // The face's edges through the split vertex are not separating edges.
    EXPECT_TRUE(info.separatingEdges.empty());
    EXPECT_EQ(info.offset, -0.5);
    EXPECT_EQ(info.aboveSet, std::set<int>({0}));
    EXPECT_EQ(info.belowSet, std::set<int>({1}));

    // initSeparatingTriangles alone clears stale lists, finds the same and leaves the sets.
    TetMeshFractureInfo bare;
    bare.vertex = 0;
    bare.newVertex = 5;
    bare.aboveTets = {0};
    bare.belowTets = {1};
    bare.separatingEdges.push_back({1, 2, 3});
    bare.separatingTriangles.push_back({7, 7, 3});
    EXPECT_EQ(captureStdout([&] { bare.initSeparatingTriangles(tets); }), expected);
    ASSERT_EQ(bare.separatingTriangles.size(), 1u);
    EXPECT_EQ(bare.separatingTriangles[0].face, 0);
    EXPECT_TRUE(bare.separatingEdges.empty());
    EXPECT_TRUE(bare.aboveSet.empty());
}

TEST(TetMeshFractureInfo, SharedEdgeOnlyGivesOneSeparatingEdgeThatCopiesKeep) {
    std::vector<Tetrahedron> tets = {slots(0, 1, 2, 3), slots(0, 1, 4, 5)};
    splitVertex(tets, 0, 6, {1});
    TetMeshFractureInfo info;
    const std::string out = captureStdout([&] {
        info = TetMeshFractureInfo(tets, 1, lumo::Vec3<float>(1, 0, 0), 0, 0, 6, {0}, {1});
    });
    EXPECT_EQ(out,
              "Above: 0,1,2,3\n"
              "Below: 6,1,4,5\n"
              "Sep edge: 0-1 6-1\n"
              "  0 1 2 3  (0 => 0, 0) \n");
    EXPECT_TRUE(info.separatingTriangles.empty());
    ASSERT_EQ(info.separatingEdges.size(), 1u);
    EXPECT_EQ(info.separatingEdges[0].vertex, 0);
    EXPECT_EQ(info.separatingEdges[0].newVertex, 6);
    EXPECT_EQ(info.separatingEdges[0].other, 1);

    for (int t : {-1, 0, 1, 2}) EXPECT_EQ(info.affectsTetrahedron(t), t == 0 || t == 1) << t;
    // A copy keeps the separating edges; its sets equal its lists.
    const TetMeshFractureInfo copy(info);
    ASSERT_EQ(copy.separatingEdges.size(), 1u);
    EXPECT_EQ(copy.separatingEdges[0].other, 1);
    EXPECT_EQ(copy.aboveSet, std::set<int>(copy.aboveTets.begin(), copy.aboveTets.end()));
    EXPECT_EQ(copy.belowSet, std::set<int>(copy.belowTets.begin(), copy.belowTets.end()));
}

TEST(TetMeshFractureInfo, EachDoubledEdgeIsReportedOnce) {
    // Two above tetrahedra share the edge 7-3 with the below one (vertex 7 in slot 2 of the
    // first, so the printed slot is 2).
    std::vector<Tetrahedron> tets = {slots(1, 2, 7, 3), slots(3, 7, 4, 5), slots(7, 3, 8, 9)};
    splitVertex(tets, 7, 10, {2});
    TetMeshFractureInfo info;
    const std::string out = captureStdout([&] {
        info = TetMeshFractureInfo(tets, 0, lumo::Vec3<float>(), 0, 7, 10, {0, 1}, {2});
    });
    EXPECT_EQ(out,
              "Above: 1,2,7,3\n"
              "3,7,4,5\n"
              "Below: 10,3,8,9\n"
              "Sep edge: 7-3 10-3\n"
              "  1 2 7 3  (2 => 7, 7) \n");
    ASSERT_EQ(info.separatingEdges.size(), 1u);
    EXPECT_EQ(info.separatingEdges[0].other, 3);
}

TEST(TetMeshFractureInfo, OctahedronSplitAcrossThePlaneXZero) {
    std::vector<Tetrahedron> tets = octahedronStar();
    splitVertex(tets, 0, 7, {4, 5, 6, 7});
    TetMeshFractureInfo info;
    const std::string out = captureStdout([&] {
        info = TetMeshFractureInfo(tets, 0, lumo::Vec3<float>(1, 0, 0), 0, 0, 7, {0, 1, 2, 3},
                                   {4, 5, 6, 7});
    });
    // Each octant faces its mirror image across x = 0 and nothing else.
    ASSERT_EQ(info.separatingTriangles.size(), 4u);
    for (int k = 0; k < 4; ++k) {
        const TetMeshFractureInfo::SeparatingTriangle& st = info.separatingTriangles[k];
        EXPECT_EQ(st.aboveTet, k);
        EXPECT_EQ(st.belowTet, k + 4);
        const std::set<int> expected = {0, 3 + k / 2, 5 + k % 2};
        EXPECT_EQ(cornersOf(tets[k], st.face), expected);
    }
    // Every edge through the split vertex bounds a separating triangle.
    EXPECT_TRUE(info.separatingEdges.empty());
    for (const char* line : {"Found sep tri: 0/4 0/4\n", "Found sep tri: 3/4 3/4\n", "Sep tri:\n"})
        EXPECT_NE(out.find(line), std::string::npos) << line;
    EXPECT_EQ(out.find("Sep edge"), std::string::npos);
}

TEST(TetMeshFractureInfo, EdgesOfSeparatingTrianglesAreNotSeparatingEdges) {
    // Octant (+,+,+) above; below: (-,-,+) alone shares only the edge 0-5 with it ...
    std::vector<Tetrahedron> tets = octahedronStar();
    splitVertex(tets, 0, 7, {4, 6});
    TetMeshFractureInfo alone;
    captureStdout(
        [&] { alone = TetMeshFractureInfo(tets, 0, lumo::Vec3<float>(), 0, 0, 7, {0}, {6}); });
    EXPECT_TRUE(alone.separatingTriangles.empty());
    ASSERT_EQ(alone.separatingEdges.size(), 1u);
    EXPECT_EQ(alone.separatingEdges[0].other, 5);
    // ... but with (-,+,+) below too, that edge bounds their separating triangle.
    TetMeshFractureInfo both;
    captureStdout([&] {
        both = TetMeshFractureInfo(tets, 0, lumo::Vec3<float>(), 0, 0, 7, {0}, {4, 6});
    });
    ASSERT_EQ(both.separatingTriangles.size(), 1u);
    EXPECT_EQ(both.separatingTriangles[0].belowTet, 4);
    EXPECT_TRUE(both.separatingEdges.empty());
}

TEST(TetMeshFractureInfo, EmptyGroups) {
    std::vector<Tetrahedron> tets = {slots(0, 1, 2, 3)};
    TetMeshFractureInfo info;
    const std::string out = captureStdout(
        [&] { info = TetMeshFractureInfo(tets, 0, lumo::Vec3<float>(), 0, 0, 4, {}, {}); });
    EXPECT_EQ(out, "Above: Below: ");
    EXPECT_TRUE(info.separatingTriangles.empty());
    EXPECT_TRUE(info.separatingEdges.empty());
    EXPECT_TRUE(info.aboveSet.empty());
}

TEST(TetMeshFractureInfo, AdjacentAndOpposingTriangles) {
    TetMeshFractureInfo info;
    info.vertex = 0;
    info.newVertex = 7;
    // b = (1, 7, 2) is (7, 2, 1): a = (0, 1, 2) wound the other way with 7 in place of 0.
    EXPECT_TRUE(info.opposingTriangles(TriangleIndices(0, 1, 2), TriangleIndices(1, 7, 2)));
    EXPECT_TRUE(info.opposingTriangles(TriangleIndices(99, 1, 2), TriangleIndices(1, 7, 2)));
    EXPECT_FALSE(info.opposingTriangles(TriangleIndices(0, 2, 1), TriangleIndices(1, 7, 2)));
    EXPECT_FALSE(info.opposingTriangles(TriangleIndices(0, 1, 2), TriangleIndices(2, 0, 1)));

    int face = -5;
    // Same winding: not a shared face; face left alone.
    EXPECT_FALSE(info.adjacent(slots(0, 1, 2, 3), slots(7, 1, 2, 4), face));
    EXPECT_EQ(face, -5);
    // Face 3 of a, (0, 2, 3), against face 2 of b, (7, 3, 2).
    EXPECT_TRUE(info.adjacent(slots(0, 1, 2, 3), slots(4, 3, 7, 2), face));
    EXPECT_EQ(face, 3);
}

TEST(TetMeshFractureInfoDeathTest, SeparatingEdgesNeedTheSplitVertex) {
    TetMeshFractureInfo info;
    info.vertex = 0;
    info.newVertex = 6;
    std::set<std::pair<int, int>> edges;
    // The below tetrahedron lacks newVertex.
    EXPECT_DEATH(info.findSeparatingEdges(slots(0, 1, 2, 3), slots(9, 1, 4, 5), edges),
                 "v1ind >=0 && v2ind >= 0");
}
