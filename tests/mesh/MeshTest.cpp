// Tests of the Mesh data model: construction, copies, the triangle record and the identity
// comparison of weight lists.
#include <gtest/gtest.h>

#include <utility>

#include "mesh/mesh.h"

TEST(Mesh, DefaultConstructedIsEmpty) {
    Mesh m;
    EXPECT_TRUE(m.tvert.empty() && m.vert.empty() && m.norm.empty() && m.restVert.empty());
    EXPECT_TRUE(m.faces.empty() && m.tris.empty() && m.boneWeights.empty() && m.spheres.empty());
    EXPECT_EQ(m.vertexElements, nullptr);
    EXPECT_EQ(m.numVertexElements, 0);
    EXPECT_EQ(m.vertexBuffer, 0u);
}

TEST(Mesh, TriCopiesItsThreeArrays) {
    const int vi[3] = {1, 2, 3}, ni[3] = {4, 5, 6}, tci[3] = {7, 8, 9};
    Mesh::Tri t(vi, ni, tci);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(t.vi[k], vi[k]);
        EXPECT_EQ(t.ni[k], ni[k]);
        EXPECT_EQ(t.tci[k], tci[k]);
    }
}

TEST(Mesh, WeightListsCompareByIdentity) {
    std::vector<Mesh::bone_weight_t> a = {{1.0f, 2}}, b = {{1.0f, 2}};
    EXPECT_TRUE(a == a);
    EXPECT_FALSE(a == b);
    Mesh m;
    m.boneWeights.resize(2);
    EXPECT_TRUE(m.boneWeights[0] == m.boneWeights[0]);
    EXPECT_FALSE(m.boneWeights[0] == m.boneWeights[1]);
}

// Copies get their own vertex-element array; moves take it over. (Run under a memory checker,
// a double free or leak would show here.)
TEST(Mesh, CopiesOwnTheirVertexElements) {
    Mesh a;
    a.vert.push_back(lumo::Vec3<float>(1, 2, 3));
    a.numVertexElements = 9;
    a.vertexElements = new float[9];
    for (int i = 0; i < 9; ++i) a.vertexElements[i] = float(i);

    Mesh b(a);
    ASSERT_NE(b.vertexElements, nullptr);
    EXPECT_NE(b.vertexElements, a.vertexElements);
    EXPECT_EQ(b.numVertexElements, 9);
    EXPECT_EQ(b.vertexElements[8], 8.0f);
    EXPECT_EQ(b.vert, a.vert);

    Mesh c;
    c = a;
    EXPECT_NE(c.vertexElements, a.vertexElements);
    EXPECT_EQ(c.vertexElements[4], 4.0f);

    float* owned = a.vertexElements;
    Mesh d(std::move(a));
    EXPECT_EQ(d.vertexElements, owned);
    EXPECT_EQ(a.vertexElements, nullptr);
    c = std::move(d);
    EXPECT_EQ(c.vertexElements, owned);
    EXPECT_EQ(d.vertexElements, nullptr);
}
