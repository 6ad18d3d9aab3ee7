// Tests of mesh editing: range-image triangulation, keepVert, subdivide (counts, positions,
// texture coordinates and weights) and fillSimpleHoles.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <set>
#include <string>
#include <utility>

#include "mesh/mesh.h"
#include "platform/image/image.h"
#include "tests/support/Capture.h"
#include "tests/support/MeshTestUtil.h"

using namespace meshtest;

namespace {

// The unit cube with twelve outward-wound triangles, two per side; side 1 is the top (z = 1).
Mesh box() {
    std::vector<std::array<int, 3>> tris;
    const int q[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4},
                         {2, 3, 7, 6}, {1, 2, 6, 5}, {0, 4, 7, 3}};
    for (const auto& s : q) {
        tris.push_back({s[0], s[1], s[2]});
        tris.push_back({s[0], s[2], s[3]});
    }
    return mesh({V(0, 0, 0), V(1, 0, 0), V(1, 1, 0), V(0, 1, 0), V(0, 0, 1), V(1, 0, 1), V(1, 1, 1),
                 V(0, 1, 1)},
                tris);
}

// Every directed edge has its reverse exactly once: a closed, consistently wound surface.
bool closedAndConsistent(const Mesh& m) {
    std::multiset<std::pair<int, int>> edges;
    for (const Mesh::Tri& t : m.tris)
        for (int k = 0; k < 3; ++k) edges.insert({t.vi[k], t.vi[(k + 1) % 3]});
    for (const auto& e : edges)
        if (edges.count(e) != 1 || edges.count({e.second, e.first}) != 1) return false;
    return true;
}

std::string fillHoles(Mesh& m) {
    return testsupport::captureStdout([&] { m.fillSimpleHoles(); });
}

// A 2 x 2 range image with points (x, y, 10 + x) and the given mask.
Mesh rangeMesh(const unsigned char (&maskBytes)[4]) {
    lumo::Image<float> coords(2, 2, 3);
    lumo::Image<unsigned char> mask(2, 2, 1);
    for (int i = 0; i < 4; ++i) {
        coords.data[3 * i] = float(i % 2);
        coords.data[3 * i + 1] = float(i / 2);
        coords.data[3 * i + 2] = 10.0f + i % 2;
        mask.data[i] = maskBytes[i];
    }
    return Mesh(coords, mask);
}

}  // namespace

TEST(MeshEdit, RangeImageTriangulation) {
    Mesh m = rangeMesh({1, 1, 1, 1});
    EXPECT_EQ(m.vert, (std::vector<V>{V(0, 0, 10), V(1, 0, 11), V(0, 1, 10), V(1, 1, 11)}));
    EXPECT_EQ(m.restVert, m.vert);
    EXPECT_EQ(m.tvert,
              (std::vector<V>{V(0, 0, 0), V(0.5f, 0, 0), V(0, 0.5f, 0), V(0.5f, 0.5f, 0)}));
    EXPECT_EQ(faceList(m), "tri 0/0 3/3 1/1, tri 0/0 2/2 3/3");  // tci = ni = vi
    EXPECT_EQ(m.boneWeights.size(), 4u);
    EXPECT_EQ(m.norm.size(), 4u);

    Mesh n = rangeMesh({1, 0, 1, 1});  // pixel (1, 0) cleared
    EXPECT_EQ(n.vert.size(), 3u);
    EXPECT_EQ(triList(n), "0 1 2");
}

TEST(MeshEditDeathTest, RangeImageChecksItsInputs) {
    EXPECT_DEATH(Mesh(lumo::Image<float>(2, 2, 4), lumo::Image<unsigned char>(2, 2, 1)),
                 "coords.nchannels == 3");
    EXPECT_DEATH(Mesh(lumo::Image<float>(2, 2, 3), lumo::Image<unsigned char>(3, 2, 1)),
                 "mask.w == coords.w && mask.h == coords.h");
}

TEST(MeshEdit, KeepVert) {
    Mesh m = mesh({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), V(1, 1, 0)}, {{0, 1, 2}, {1, 3, 2}});
    m.tvert = {V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), V(1, 1, 0)};
    m.tris[0].tci[0] = 3;
    m.vert[3] = V(2, 2, 2);  // current positions are what is kept
    m.boneWeights = {{{1, 0}}, {{1, 1}}, {{1, 2}}, {{1, 3}}};

    Mesh k = m.keepVert({3, 1, 2});
    EXPECT_EQ(k.vert, (std::vector<V>{V(2, 2, 2), V(1, 0, 0), V(0, 1, 0)}));
    EXPECT_EQ(k.restVert, k.vert);
    ASSERT_EQ(k.boneWeights.size(), 3u);
    EXPECT_EQ(weightList(k.boneWeights[0]), "3:1");
    EXPECT_EQ(triList(k), "1 0 2");
    // Texture coordinates numbered in order of first use: 1, 3, 2.
    for (int c = 0; c < 3; ++c) EXPECT_EQ(k.tris[0].tci[c], c);
    EXPECT_EQ(k.tvert, (std::vector<V>{V(1, 0, 0), V(1, 1, 0), V(0, 1, 0)}));

    // Omitting vertex 2 (a corner of both triangles) keeps vertices but no triangles.
    Mesh none = m.keepVert({0, 1, 3});
    EXPECT_EQ(none.vert.size(), 3u);
    EXPECT_TRUE(none.tris.empty() && none.tvert.empty());
    // A vertex listed twice is copied twice; triangles use the later copy.
    EXPECT_EQ(triList(m.keepVert({0, 1, 2, 0})), "3 1 2");
}

// V + E + T vertices (corners, then per triangle its centroid and new edge midpoints) and 6T
// triangles (a, m, c) and (m, b, c) per edge; quads are dropped with a warning.
TEST(MeshEdit, SubdivideCounts) {
    Mesh one = mesh({V(0, 0, 0), V(3, 0, 0), V(0, 3, 0)}, {{0, 1, 2}});
    Mesh s = one.subdivide();
    EXPECT_EQ(s.vert, (std::vector<V>{V(0, 0, 0), V(3, 0, 0), V(0, 3, 0), V(1, 1, 0), V(1.5f, 0, 0),
                                      V(1.5f, 1.5f, 0), V(0, 1.5f, 0)}));
    EXPECT_EQ(s.restVert, s.vert);
    EXPECT_EQ(triList(s), "0 4 3, 4 1 3, 1 5 3, 5 2 3, 2 6 3, 6 0 3");
    EXPECT_TRUE(s.boneWeights.empty());

    Mesh two = mesh({V(0, 0, 0), V(1, 0, 0), V(1, 1, 0), V(0, 1, 0)}, {{0, 1, 2}, {0, 2, 3}});
    two.faces.push_back(Mesh::Face{{0, 1, 2, 3}, {0, 1, 2, 3}, {0, 0, 0, 0}});
    Mesh t;
    EXPECT_EQ(testsupport::captureStderr([&] { t = two.subdivide(); }),
              "WARNING: subdivide does not handle polys yet\n");
    EXPECT_EQ(t.vert.size(), 11u);
    EXPECT_EQ(t.tris.size(), 12u);
    EXPECT_TRUE(t.faces.empty());
    EXPECT_EQ(t.norm, std::vector<V>(11, V(0, 0, 1)));
}

// Midpoint and centroid weights merge by bone (append) and are normalised; texture
// coordinates get their own centroid and midpoints; spheres are copied.
TEST(MeshEdit, SubdivideTextureCoordinatesAndWeights) {
    Mesh m = mesh({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)}, {{0, 1, 2}});
    m.tvert = {V(0, 0, 1), V(0.5f, 0, 1), V(0, 0.5f, 1)};
    m.boneWeights = {{{1, 0}}, {{0.25f, 2}}, {{0.5f, 2}, {0.5f, 3}}};
    m.spheres.resize(2);
    Mesh s = m.subdivide();
    ASSERT_EQ(s.tvert.size(), 7u);
    EXPECT_NEAR(s.tvert[3].x, 0.5f / 3, 1e-7);                // centroid, within a float ulp
    EXPECT_EQ(s.tvert[4], V(0.25f, 0, 1));                    // then the midpoints in edge order
    EXPECT_EQ(faceList(s).substr(0, 15), "tri 0/0 4/4 3/3");  // (a, m, c) with (ta, tm, ct)
    EXPECT_EQ(s.spheres.size(), 2u);
    ASSERT_EQ(s.boneWeights.size(), 7u);
    // {0: 1} + {2: 0.25} over 1.25; {2: 0.25} + {2: 0.5, 3: 0.5} = {2: 0.75, 3: 0.5} over 1.25;
    // the centroid {0: 1, 2: 0.75, 3: 0.5} over 2.25.
    EXPECT_EQ(weightList(s.boneWeights[4]), "0:0.8 2:0.2");
    EXPECT_EQ(weightList(s.boneWeights[5]), "2:0.6 3:0.4");
    EXPECT_EQ(weightList(s.boneWeights[3]), "0:0.444444 2:0.333333 3:0.222222");

    m.boneWeights = {{{1, 0}}, {{1, 1}}, {{1, 1}}};
    m.tvert.clear();
    s = m.subdivide();
    EXPECT_EQ(weightList(s.boneWeights[4]), "0:0.5 1:0.5");
    EXPECT_EQ(weightList(s.boneWeights[5]), "1:1");
    EXPECT_TRUE(s.tvert.empty());
    EXPECT_EQ(s.tris[0].tci[1], 0);  // no texture coordinates: all 0
}

TEST(MeshEdit, FillSimpleHoles) {
    Mesh closed = box();
    ASSERT_TRUE(closedAndConsistent(closed));
    EXPECT_EQ(fillHoles(closed), "");
    EXPECT_EQ(closed.tris.size(), 12u);

    Mesh open = box();
    open.tris.erase(open.tris.begin() + 2, open.tris.begin() + 4);  // the top side
    EXPECT_EQ(fillHoles(open), "found a hole of size: 4, filling it\n");
    EXPECT_EQ(open.tris.size(), 12u);
    EXPECT_TRUE(closedAndConsistent(open));  // the fan is wound like its neighbours

    Mesh one = mesh({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)}, {{0, 1, 2}});
    EXPECT_EQ(fillHoles(one), "found a hole of size: 3, filling it\n");
    EXPECT_EQ(triList(one), "0 1 2, 0 2 1");

    // Edge keys N a + b beyond 32 bits (N = 50000).
    Mesh large = mesh(std::vector<V>(50000), {{49998, 49997, 49999}});
    EXPECT_EQ(fillHoles(large), "found a hole of size: 3, filling it\n");
    EXPECT_EQ(triList(large), "49998 49997 49999, 49997 49998 49999");
}
