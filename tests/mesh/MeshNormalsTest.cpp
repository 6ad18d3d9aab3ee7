// Tests of the per-vertex and crease-preserving per-corner normals.
#include <gtest/gtest.h>

#include <cmath>

#include "mesh/mesh.h"
#include "tests/support/MeshTestUtil.h"

using namespace meshtest;

// A degenerate triangle adds nothing and gets zero corner normals; an unused vertex gets zero.
TEST(MeshNormals, SingleAndDegenerateTriangles) {
    Mesh m =
        mesh({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), V(2, 0, 0), V(5, 5, 5)}, {{0, 1, 2}, {0, 1, 3}});
    m.initNormalsAutoSmooth(0.0);  // a face always smooths with itself
    EXPECT_EQ(m.norm, (std::vector<V>{V(0, 0, 1), V(0, 0, 1), V(0, 0, 1), V(0, 0, 0), V(0, 0, 0),
                                      V(0, 0, 0)}));
    EXPECT_EQ(m.tris[1].ni[0] * 10 + m.tris[1].ni[2], 35);  // ni = 3i + k
    m.initNormals();
    EXPECT_EQ(m.norm, (std::vector<V>{V(0, 0, 1), V(0, 0, 1), V(0, 0, 1), V(0, 0, 0), V(0, 0, 0)}));
    EXPECT_EQ(faceList(m), "tri 0/0 1/1 2/2, tri 0/0 1/1 3/3");  // ni = vi again
}

// Vertex 0's normal is weighted by twice the areas (8 for +z, 2 for +x); a quad uses corners 0-2.
TEST(MeshNormals, AreaWeightedVertexNormalsAndQuads) {
    Mesh m =
        mesh({V(0, 0, 0), V(2, 0, 0), V(0, 4, 0), V(0, 1, 0), V(0, 0, 2)}, {{0, 1, 2}, {0, 3, 4}});
    m.initNormals();
    // Unit vectors from a few float operations: 1e-6 is a few float ulps at magnitude 1.
    EXPECT_LT((m.norm[0] - V(2, 0, 8) * (1 / std::sqrt(68.0))).len(), 1e-6);
    EXPECT_EQ(m.norm[4], V(1, 0, 0));
    Mesh q = mesh({V(0, 0, 0), V(1, 0, 0), V(1, 1, 0), V(0, 1, 3)}, {});  // corner 3 lifted
    q.faces.push_back(Mesh::Face{{0, 1, 2, 3}, {9, 9, 9, 9}, {0, 0, 0, 0}});
    q.initNormals();
    EXPECT_EQ(q.norm, std::vector<V>(4, V(0, 0, 1)));
    EXPECT_EQ(faceList(q), "quad 0/0 1/0 2/0 3/0");
}

// Two triangles 90 degrees apart (+z, -y) on one edge; then a quad and a triangle with a repeat.
TEST(MeshNormals, CreasePass) {
    Mesh m = mesh({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), V(0, 0, -1), V(0, 0, 5), V(1, 0, 5),
                   V(1, 0, 6), V(0, 0, 6)},
                  {{0, 1, 2}, {1, 0, 3}});
    m.initNormalsAutoSmooth(100.0);
    const float h = float(1.0 / std::sqrt(2.0));
    // Shared vertices 0 and 1 average both faces; the unshared corners keep their own.
    for (int c : {0, 1, 3, 4}) EXPECT_LT((m.norm[c] - V(0, -h, h)).len(), 1e-6) << c;
    EXPECT_TRUE(m.norm[2] == V(0, 0, 1) && m.norm[5] == V(0, -1, 0));
    // Three entries per triangle, then a quad's own flat normal, so every index names an entry.
    const int twice[3] = {1, 2, 1}, zero[3] = {0, 0, 0};
    m.tris.push_back(Mesh::Tri(twice, zero, zero));
    m.faces.push_back(Mesh::Face{{4, 5, 6, 7}, {0, 0, 0, 0}, {0, 0, 0, 0}});
    m.initNormalsAutoSmooth(60.0);  // sharper than 60 degrees: each side keeps its own
    ASSERT_EQ(m.norm.size(), 9u + 4u);
    EXPECT_TRUE(m.norm[1] == V(0, 0, 1) && m.norm[4] == V(0, -1, 0) && m.norm[12] == V(0, -1, 0));
    EXPECT_EQ(m.tris[2].ni[2] * 100 + m.faces[0].ni[3], 812);
}
