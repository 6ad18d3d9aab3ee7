// Tests of mesh editing: range-image triangulation, keepVert, subdivide (counts, positions,
// texture coordinates and weights) and fillSimpleHoles.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <utility>

#include "mesh/mesh.h"
#include "platform/image/image.h"

namespace {

using V = lumo::Vec3<float>;
using W = Mesh::bone_weight_t;

void addTri(Mesh& m, int a, int b, int c, int ta = 0, int tb = 0, int tc = 0) {
    const int vi[3] = {a, b, c}, tci[3] = {ta, tb, tc};
    m.tris.push_back(Mesh::Tri(vi, vi, tci));
}

Mesh mesh(std::vector<V> verts) {
    Mesh m;
    m.vert = verts;
    m.restVert = verts;
    return m;
}

// The eight corners of the unit cube and its twelve outward-wound triangles.
Mesh box() {
    Mesh m = mesh({V(0, 0, 0), V(1, 0, 0), V(1, 1, 0), V(0, 1, 0), V(0, 0, 1), V(1, 0, 1),
                   V(1, 1, 1), V(0, 1, 1)});
    const int q[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4},
                         {2, 3, 7, 6}, {1, 2, 6, 5}, {0, 4, 7, 3}};
    for (const auto& s : q) {
        addTri(m, s[0], s[1], s[2]);
        addTri(m, s[0], s[2], s[3]);
    }
    return m;
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
    testing::internal::CaptureStdout();
    m.fillSimpleHoles();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

// A 2 x 2 range image with points (x, y, 10 + x) and the given mask.
Mesh rangeMesh(const unsigned char (&maskBytes)[4]) {
    lumo::Image<float> coords(2, 2, 3);
    lumo::Image<unsigned char> mask(2, 2, 1);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) {
            float* p = coords.data + (y * 2 + x) * 3;
            p[0] = float(x);
            p[1] = float(y);
            p[2] = 10.0f + x;
            mask.data[y * 2 + x] = maskBytes[y * 2 + x];
        }
    return Mesh(coords, mask);
}

}  // namespace

TEST(MeshEdit, RangeImageTriangulation) {
    Mesh m = rangeMesh({1, 1, 1, 1});
    ASSERT_EQ(m.vert.size(), 4u);
    EXPECT_EQ(m.restVert, m.vert);
    EXPECT_EQ(m.vert[3], V(1, 1, 11));
    const std::vector<V> tex = {V(0, 0, 0), V(0.5f, 0, 0), V(0, 0.5f, 0), V(0.5f, 0.5f, 0)};
    EXPECT_EQ(m.tvert, tex);
    ASSERT_EQ(m.tris.size(), 2u);
    const int expected[2][3] = {{0, 3, 1}, {0, 2, 3}};
    for (int i = 0; i < 2; ++i)
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(m.tris[i].vi[k], expected[i][k]);
            EXPECT_EQ(m.tris[i].tci[k], expected[i][k]);
            EXPECT_EQ(m.tris[i].ni[k], expected[i][k]);
        }
    EXPECT_EQ(m.boneWeights.size(), 4u);
    EXPECT_EQ(m.norm.size(), 4u);

    Mesh n = rangeMesh({1, 0, 1, 1});  // pixel (1, 0) cleared
    ASSERT_EQ(n.vert.size(), 3u);
    ASSERT_EQ(n.tris.size(), 1u);
    EXPECT_EQ(n.tris[0].vi[0], 0);
    EXPECT_EQ(n.tris[0].vi[1], 1);
    EXPECT_EQ(n.tris[0].vi[2], 2);
}

TEST(MeshEditDeathTest, RangeImageChecksItsInputs) {
    lumo::Image<float> coords(2, 2, 4);
    lumo::Image<unsigned char> mask(2, 2, 1);
    EXPECT_DEATH(Mesh(coords, mask), "coords.nchannels == 3");
    lumo::Image<float> coords3(2, 2, 3);
    lumo::Image<unsigned char> mask3(3, 2, 1);
    EXPECT_DEATH(Mesh(coords3, mask3), "mask.w == coords.w && mask.h == coords.h");
}

TEST(MeshEdit, KeepVert) {
    Mesh m = mesh({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), V(1, 1, 0)});
    m.tvert = {V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), V(1, 1, 0)};
    m.vert[3] = V(2, 2, 2);  // current positions are what is kept
    m.boneWeights = {{{1, 0}}, {{1, 1}}, {{1, 2}}, {{1, 3}}};
    addTri(m, 0, 1, 2, 3, 1, 2);
    addTri(m, 1, 3, 2, 1, 3, 2);

    Mesh k = m.keepVert({3, 1, 2});
    ASSERT_EQ(k.vert.size(), 3u);
    EXPECT_EQ(k.vert[0], V(2, 2, 2));
    EXPECT_EQ(k.restVert, k.vert);
    ASSERT_EQ(k.boneWeights.size(), 3u);
    EXPECT_EQ(k.boneWeights[0][0].bone, 3);
    ASSERT_EQ(k.tris.size(), 1u);
    EXPECT_EQ(k.tris[0].vi[0], 1);
    EXPECT_EQ(k.tris[0].vi[1], 0);
    EXPECT_EQ(k.tris[0].vi[2], 2);
    // Texture coordinates numbered in order of first use: 1, 3, 2.
    for (int c = 0; c < 3; ++c) EXPECT_EQ(k.tris[0].tci[c], c);
    EXPECT_EQ(k.tvert, (std::vector<V>{V(1, 0, 0), V(1, 1, 0), V(0, 1, 0)}));
    EXPECT_EQ(k.norm.size(), 3u);

    // Omitting vertex 2 (a corner of both triangles) keeps vertices but no triangles.
    Mesh none = m.keepVert({0, 1, 3});
    EXPECT_EQ(none.vert.size(), 3u);
    EXPECT_TRUE(none.tris.empty());
    EXPECT_TRUE(none.tvert.empty());

    // A vertex listed twice is copied twice; triangles use the later copy.
    Mesh twice = m.keepVert({0, 1, 2, 0});
    ASSERT_EQ(twice.tris.size(), 1u);
    EXPECT_EQ(twice.tris[0].vi[0], 3);
}

TEST(MeshEdit, SubdivideCounts) {
    Mesh one = mesh({V(0, 0, 0), V(3, 0, 0), V(0, 3, 0)});
    addTri(one, 0, 1, 2);
    Mesh s = one.subdivide();
    EXPECT_EQ(s.vert.size(), 7u);
    EXPECT_EQ(s.tris.size(), 6u);
    EXPECT_EQ(s.vert[3], V(1, 1, 0));  // the centroid comes first, then the midpoints
    EXPECT_EQ(s.vert[4], V(1.5f, 0, 0));
    EXPECT_TRUE(s.boneWeights.empty());
    EXPECT_EQ(s.restVert, s.vert);
    // Triangles (a, m, c) and (m, b, c) per edge.
    EXPECT_EQ(s.tris[0].vi[0], 0);
    EXPECT_EQ(s.tris[0].vi[1], 4);
    EXPECT_EQ(s.tris[0].vi[2], 3);
    EXPECT_EQ(s.tris[1].vi[0], 4);
    EXPECT_EQ(s.tris[1].vi[1], 1);

    Mesh two = mesh({V(0, 0, 0), V(1, 0, 0), V(1, 1, 0), V(0, 1, 0)});
    addTri(two, 0, 1, 2);
    addTri(two, 0, 2, 3);
    Mesh t = two.subdivide();
    EXPECT_EQ(t.vert.size(), 11u);
    EXPECT_EQ(t.tris.size(), 12u);
    for (const V& n : t.norm) EXPECT_EQ(n, V(0, 0, 1));
}

TEST(MeshEdit, SubdivideDropsQuadsWithAWarning) {
    Mesh m = mesh({V(0, 0, 0), V(1, 0, 0), V(1, 1, 0), V(0, 1, 0)});
    m.faces.push_back(Mesh::Face{{0, 1, 2, 3}, {0, 1, 2, 3}, {0, 0, 0, 0}});
    addTri(m, 0, 1, 2);
    testing::internal::CaptureStderr();
    Mesh s = m.subdivide();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "WARNING: subdivide does not handle polys yet\n");
    EXPECT_TRUE(s.faces.empty());
    EXPECT_EQ(s.tris.size(), 6u);
}

TEST(MeshEdit, SubdivideTextureCoordinatesAndWeights) {
    Mesh m = mesh({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)});
    m.tvert = {V(0, 0, 1), V(0.5f, 0, 1), V(0, 0.5f, 1)};
    addTri(m, 0, 1, 2, 0, 1, 2);
    m.boneWeights = {{{1, 0}}, {{1, 1}}, {{0.5f, 2}, {0.5f, 3}}};
    m.boneWeights[1] = {{0.25f, 2}};
    m.boneWeights[0] = {{1, 0}};
    Mesh s = m.subdivide();
    ASSERT_EQ(s.tvert.size(), 7u);
    // Centroid texture coordinate, then the midpoints in edge order.
    EXPECT_NEAR(s.tvert[3].x, 0.5f / 3, 1e-7);
    EXPECT_EQ(s.tvert[4], V(0.25f, 0, 1));
    EXPECT_EQ(s.tris[0].tci[0], 0);
    EXPECT_EQ(s.tris[0].tci[1], 4);
    EXPECT_EQ(s.tris[0].tci[2], 3);

    ASSERT_EQ(s.boneWeights.size(), 7u);
    // Edge 0-1: {0: 1} and {2: 0.25} merge to {0: 1, 2: 0.25}, normalised by 1.25.
    const std::vector<W>& m01 = s.boneWeights[4];
    ASSERT_EQ(m01.size(), 2u);
    EXPECT_EQ(m01[0].bone, 0);
    EXPECT_FLOAT_EQ(m01[0].weight, 0.8f);
    EXPECT_FLOAT_EQ(m01[1].weight, 0.2f);
    // Edge 1-2: {2: 0.25} merged with {2: 0.5, 3: 0.5} gives {2: 0.75, 3: 0.5}, i.e. 0.6, 0.4.
    const std::vector<W>& m12 = s.boneWeights[5];
    ASSERT_EQ(m12.size(), 2u);
    EXPECT_EQ(m12[0].bone, 2);
    EXPECT_FLOAT_EQ(m12[0].weight, 0.6f);
    EXPECT_EQ(m12[1].bone, 3);
    EXPECT_FLOAT_EQ(m12[1].weight, 0.4f);
    // Centroid: {0: 1} + {2: 0.25} + {2: 0.5, 3: 0.5} = {0: 1, 2: 0.75, 3: 0.5} / 2.25.
    const std::vector<W>& c = s.boneWeights[3];
    ASSERT_EQ(c.size(), 3u);
    EXPECT_FLOAT_EQ(c[0].weight, 1 / 2.25f);
    EXPECT_FLOAT_EQ(c[1].weight, 0.75f / 2.25f);
    EXPECT_EQ(c[2].bone, 3);
}

TEST(MeshEdit, SubdivideMidpointWeights) {
    Mesh m = mesh({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)});
    addTri(m, 0, 1, 2);
    m.boneWeights = {{{1, 0}}, {{1, 1}}, {{1, 1}}};
    m.spheres.resize(2);
    Mesh s = m.subdivide();
    EXPECT_EQ(s.spheres.size(), 2u);
    EXPECT_EQ(s.tris[0].tci[0], 0);  // no texture coordinates: all 0
    const std::vector<W>& m01 = s.boneWeights[4];
    ASSERT_EQ(m01.size(), 2u);
    EXPECT_EQ(m01[0].weight, 0.5f);
    EXPECT_EQ(m01[1].weight, 0.5f);
    const std::vector<W>& m12 = s.boneWeights[5];
    ASSERT_EQ(m12.size(), 1u);
    EXPECT_EQ(m12[0].bone, 1);
    EXPECT_EQ(m12[0].weight, 1.0f);
}

TEST(MeshEdit, FillHoleInBox) {
    Mesh closed = box();
    ASSERT_TRUE(closedAndConsistent(closed));
    EXPECT_EQ(fillHoles(closed), "");
    EXPECT_EQ(closed.tris.size(), 12u);

    Mesh open = box();
    open.tris.erase(open.tris.begin() + 2, open.tris.begin() + 4);  // the top side
    EXPECT_EQ(fillHoles(open), "found a hole of size: 4, filling it\n");
    EXPECT_EQ(open.tris.size(), 12u);
    EXPECT_TRUE(closedAndConsistent(open));
    for (size_t i = 10; i < 12; ++i) {  // the new fan faces outward (+z) like the removed side
        const Mesh::Tri& t = open.tris[i];
        const V n =
            (open.vert[t.vi[1]] - open.vert[t.vi[0]]) ^ (open.vert[t.vi[2]] - open.vert[t.vi[1]]);
        EXPECT_EQ(n, V(0, 0, 1));
    }
}

TEST(MeshEdit, FillSingleTriangle) {
    Mesh m = mesh({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)});
    addTri(m, 0, 1, 2);
    EXPECT_EQ(fillHoles(m), "found a hole of size: 3, filling it\n");
    ASSERT_EQ(m.tris.size(), 2u);
    EXPECT_EQ(m.tris[1].vi[0], 0);
    EXPECT_EQ(m.tris[1].vi[1], 2);
    EXPECT_EQ(m.tris[1].vi[2], 1);
}

// Edge keys N a + b beyond 32 bits (N = 50000).
TEST(MeshEdit, FillHoleInLargeMesh) {
    Mesh m;
    m.vert.assign(50000, V(0, 0, 0));
    m.vert[49997] = V(1, 0, 0);
    m.vert[49999] = V(0, 1, 0);
    m.restVert = m.vert;
    addTri(m, 49998, 49997, 49999);
    EXPECT_EQ(fillHoles(m), "found a hole of size: 3, filling it\n");
    ASSERT_EQ(m.tris.size(), 2u);
    EXPECT_TRUE(closedAndConsistent(m));
}
