// Tests of the Mesh data model: construction, the triangle record, the identity comparison of
// weight lists and copies that own their vertex-element array.
#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "mesh/mesh.h"

TEST(Mesh, DefaultTriAndWeightListIdentity) {
    Mesh m;
    EXPECT_TRUE(m.tvert.empty() && m.vert.empty() && m.norm.empty() && m.restVert.empty());
    EXPECT_TRUE(m.faces.empty() && m.tris.empty() && m.boneWeights.empty() && m.spheres.empty());
    EXPECT_EQ(m.vertexElements, nullptr);
    EXPECT_EQ(m.numVertexElements, 0);
    EXPECT_EQ(m.vertexBuffer, 0u);

    const int vi[3] = {1, 2, 3}, ni[3] = {4, 5, 6}, tci[3] = {7, 8, 9};
    Mesh::Tri t(vi, ni, tci);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(std::make_tuple(t.vi[k], t.ni[k], t.tci[k]),
                  std::make_tuple(vi[k], ni[k], tci[k]));

    // Equal contents in two lists compare unequal; a list equals only itself.
    std::vector<Mesh::bone_weight_t> a = {{1.0f, 2}}, b = {{1.0f, 2}};
    EXPECT_TRUE(a == a);
    EXPECT_FALSE(a == b);
}

// Copies get their own vertex-element array; moves take it over (a double free would abort).
TEST(Mesh, CopiesOwnTheirVertexElements) {
    Mesh a;
    a.numVertexElements = 9;
    a.vertexElements = new float[9];
    for (int i = 0; i < 9; ++i) a.vertexElements[i] = float(i);
    Mesh b(a), c;
    c = a;
    for (const Mesh* m : {&b, &c}) {
        EXPECT_NE(m->vertexElements, a.vertexElements);
        EXPECT_EQ(m->numVertexElements, 9);
        EXPECT_EQ(m->vertexElements[8], 8.0f);
    }
    float* owned = a.vertexElements;
    Mesh d(std::move(a));
    EXPECT_EQ(d.vertexElements, owned);
    EXPECT_EQ(a.vertexElements, nullptr);
    c = std::move(d);
    EXPECT_EQ(c.vertexElements, owned);
}
