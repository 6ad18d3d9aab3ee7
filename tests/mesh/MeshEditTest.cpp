// Tests of the Mesh data model and of mesh editing (range image, keepVert, subdivide, holes).
#include <gtest/gtest.h>

#include <utility>

#include "mesh/mesh.h"
#include "platform/image/image.h"
#include "tests/support/Capture.h"
#include "tests/support/MeshTestUtil.h"

using namespace meshtest;

// The triangle record copies each index array; weight lists compare by identity, not contents.
TEST(Mesh, TriRecordAndWeightListIdentity) {
    const int vi[3] = {1, 2, 3}, ni[3] = {4, 5, 6}, tci[3] = {7, 8, 9};
    Mesh::Tri t(vi, ni, tci);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(t.vi[k] * 100 + t.ni[k] * 10 + t.tci[k], 147 + 111 * k);
    std::vector<Mesh::bone_weight_t> a = {{1.0f, 2}}, b = {{1.0f, 2}};
    EXPECT_TRUE(a == a && !(a == b));
}

// Copies get their own vertex-element array; moves take it over (a double free would abort).
TEST(Mesh, CopiesOwnTheirVertexElements) {
    Mesh a, c;
    a.numVertexElements = 9;
    a.vertexElements = new float[9]();
    a.vertexElements[8] = 8;
    c = a;
    EXPECT_TRUE(c.vertexElements != a.vertexElements && c.vertexElements[8] == 8.0f);
    float* owned = a.vertexElements;
    Mesh d(std::move(a));
    EXPECT_EQ(a.vertexElements, nullptr);
    c = std::move(d);
    EXPECT_EQ(c.vertexElements, owned);
}

// A 2 x 2 range image with points (x, y, 10 + x), pixel (1, 0) masked out.
TEST(MeshEdit, RangeImageTriangulation) {
    lumo::Image<float> coords(2, 2, 3);
    lumo::Image<unsigned char> mask(2, 2, 1);
    const float xyz[12] = {0, 0, 10, 1, 0, 11, 0, 1, 10, 1, 1, 11};
    for (int i = 0; i < 12; ++i) coords.data[i] = xyz[i];
    mask.data[0] = mask.data[2] = mask.data[3] = 1;
    Mesh m(coords, mask);
    EXPECT_EQ(m.vert, (std::vector<V>{V(0, 0, 10), V(0, 1, 10), V(1, 1, 11)}));
    EXPECT_EQ(m.tvert, (std::vector<V>{V(0, 0, 0), V(0, 0.5f, 0), V(0.5f, 0.5f, 0)}));
    EXPECT_EQ(faceList(m), "tri 0/0 1/1 2/2");
    EXPECT_DEATH(Mesh(lumo::Image<float>(2, 2, 4), mask), "coords.nchannels == 3");
    EXPECT_DEATH(Mesh(coords, lumo::Image<unsigned char>(3, 2, 1)),
                 "mask.w == coords.w && mask.h == coords.h");
}

// Current positions kept, texture coordinates renumbered by first use, cut triangles dropped.
TEST(MeshEdit, KeepVert) {
    Mesh m = mesh({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), V(1, 1, 0)}, {{0, 1, 2}, {1, 3, 2}});
    m.tvert = m.vert;
    m.vert[3] = V(2, 2, 2);
    m.boneWeights = {{{1, 0}}, {{1, 1}}, {{1, 2}}, {{1, 3}}};
    Mesh k = m.keepVert({3, 1, 2});
    EXPECT_EQ(k.restVert, (std::vector<V>{V(2, 2, 2), V(1, 0, 0), V(0, 1, 0)}));
    EXPECT_EQ(weightList(k.boneWeights[0]), "3:1");
    EXPECT_EQ(faceList(k), "tri 1/0 0/1 2/2");
    EXPECT_EQ(k.tvert, (std::vector<V>{V(1, 0, 0), V(1, 1, 0), V(0, 1, 0)}));
    EXPECT_TRUE(m.keepVert({0, 1, 3}).tris.empty());
}

// One triangle becomes six around its centroid, weights merged and normalised; quads dropped.
TEST(MeshEdit, Subdivide) {
    Mesh m = mesh({V(0, 0, 0), V(3, 0, 0), V(0, 3, 0)}, {{0, 1, 2}});
    m.tvert = {V(0, 0, 1), V(0.5f, 0, 1), V(0, 0.5f, 1)};
    m.boneWeights = {{{1, 0}}, {{0.25f, 2}}, {{0.5f, 2}, {0.5f, 3}}};
    m.faces.push_back(Mesh::Face{{0, 1, 2, 0}, {0, 1, 2, 0}, {0, 0, 0, 0}});
    Mesh s;
    EXPECT_EQ(testsupport::captureStderr([&] { s = m.subdivide(); }),
              "WARNING: subdivide does not handle polys yet\n");
    EXPECT_EQ(s.vert, (std::vector<V>{V(0, 0, 0), V(3, 0, 0), V(0, 3, 0), V(1, 1, 0), V(1.5f, 0, 0),
                                      V(1.5f, 1.5f, 0), V(0, 1.5f, 0)}));
    EXPECT_EQ(faceList(s),
              "tri 0/0 4/4 3/3, tri 4/4 1/1 3/3, tri 1/1 5/5 3/3, tri 5/5 2/2 3/3, "
              "tri 2/2 6/6 3/3, tri 6/6 0/0 3/3");
    EXPECT_EQ(s.tvert[4], V(0.25f, 0, 1));
    // {2: 0.25} + {2: 0.5, 3: 0.5} over 1.25; the centroid {0: 1, 2: 0.75, 3: 0.5} over 2.25.
    EXPECT_EQ(weightList(s.boneWeights[5]) + ", " + weightList(s.boneWeights[3]),
              "2:0.6 3:0.4, 0:0.444444 2:0.333333 3:0.222222");
}

// A closed pyramid prints nothing; its base's hole gets a fan wound like its neighbours. Edge
// keys N a + b go beyond 32 bits with N = 50000.
TEST(MeshEdit, FillSimpleHoles) {
    Mesh pyramid = mesh({V(0, 0, 0), V(1, 0, 0), V(1, 1, 0), V(0, 1, 0), V(0.5f, 0.5f, 1)},
                        {{0, 1, 4}, {1, 2, 4}, {2, 3, 4}, {3, 0, 4}, {0, 3, 2}, {0, 2, 1}});
    EXPECT_EQ(testsupport::captureStdout([&] { pyramid.fillSimpleHoles(); }), "");
    pyramid.tris.resize(4);
    EXPECT_EQ(testsupport::captureStdout([&] { pyramid.fillSimpleHoles(); }),
              "found a hole of size: 4, filling it\n");
    EXPECT_EQ(faceList(pyramid).substr(68), "tri 0/0 3/0 2/0, tri 0/0 2/0 1/0");
    Mesh large = mesh(std::vector<V>(50000), {{49998, 49997, 49999}});
    EXPECT_EQ(testsupport::captureStdout([&] { large.fillSimpleHoles(); }),
              "found a hole of size: 3, filling it\n");
    EXPECT_EQ(faceList(large).substr(41), "tri 49997/0 49998/0 49999/0");
}
