// Tests of the per-vertex and crease-preserving per-corner normals.
#include <gtest/gtest.h>

#include <cmath>

#include "mesh/mesh.h"

namespace {

using V = lumo::Vec3<float>;

// Unit vectors from a few float operations: 1e-6 is a few float ulps at magnitude 1.
void expectNear(const V& a, const V& b) {
    EXPECT_NEAR(a.x, b.x, 1e-6) << std::string(a) << " vs " << std::string(b);
    EXPECT_NEAR(a.y, b.y, 1e-6) << std::string(a) << " vs " << std::string(b);
    EXPECT_NEAR(a.z, b.z, 1e-6) << std::string(a) << " vs " << std::string(b);
}

void addTri(Mesh& m, int a, int b, int c) {
    const int vi[3] = {a, b, c}, zero[3] = {0, 0, 0};
    m.tris.push_back(Mesh::Tri(vi, zero, zero));
}

Mesh mesh(std::vector<V> verts) {
    Mesh m;
    m.vert = verts;
    m.restVert = verts;
    return m;
}

// Two triangles sharing the edge (0,0,0)-(1,0,0): one in the plane z = 0 (normal +z), one in
// the plane y = 0 hanging down (normal -y), 90 degrees apart, consistently wound.
Mesh crease() {
    Mesh m = mesh({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), V(0, 0, -1)});
    addTri(m, 0, 1, 2);
    addTri(m, 1, 0, 3);
    return m;
}

}  // namespace

TEST(MeshNormals, SingleTriangle) {
    Mesh m = mesh({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), V(5, 5, 5)});
    addTri(m, 0, 1, 2);
    m.initNormals();
    ASSERT_EQ(m.norm.size(), 4u);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(m.norm[k], V(0, 0, 1));
        EXPECT_EQ(m.tris[0].ni[k], m.tris[0].vi[k]);
    }
    EXPECT_EQ(m.norm[3], V(0, 0, 0));  // used by no face

    m.initNormalsAutoSmooth(60.0);
    ASSERT_EQ(m.norm.size(), 3u);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(m.norm[k], V(0, 0, 1));
        EXPECT_EQ(m.tris[0].ni[k], k);
    }
}

TEST(MeshNormals, AreaWeightedVertexNormals) {
    // A large triangle with normal +z and a small one with normal +x share vertex 0: the
    // sum is weighted by twice the areas (8 and 2).
    Mesh m = mesh({V(0, 0, 0), V(2, 0, 0), V(0, 4, 0), V(0, 1, 0), V(0, 0, 2), V(1, 1, 1)});
    addTri(m, 0, 1, 2);
    addTri(m, 0, 3, 4);
    m.initNormals();
    V expected(2, 0, 8);
    expected.normalize();
    expectNear(m.norm[0], expected);
    EXPECT_EQ(m.norm[1], V(0, 0, 1));
    EXPECT_EQ(m.norm[4], V(1, 0, 0));
}

TEST(MeshNormals, QuadUsesItsFirstThreeCorners) {
    // A non-planar quad: corners 0, 1, 2 span the plane z = 0; corner 3 is lifted.
    Mesh m = mesh({V(0, 0, 0), V(1, 0, 0), V(1, 1, 0), V(0, 1, 3)});
    Mesh::Face f = {{0, 1, 2, 3}, {9, 9, 9, 9}, {0, 0, 0, 0}};
    m.faces.push_back(f);
    m.initNormals();
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(m.norm[k], V(0, 0, 1));
        EXPECT_EQ(m.faces[0].ni[k], k);
    }
}

TEST(MeshNormals, DegenerateTriangle) {
    // Triangle 1 is collinear: it adds nothing to the shared vertices, and its own corners
    // get (0, 0, 0) in the crease pass.
    Mesh m = mesh({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), V(2, 0, 0)});
    addTri(m, 0, 1, 2);
    addTri(m, 0, 1, 3);
    m.initNormals();
    EXPECT_EQ(m.norm[0], V(0, 0, 1));
    EXPECT_EQ(m.norm[3], V(0, 0, 0));
    m.initNormalsAutoSmooth(60.0);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(m.norm[k], V(0, 0, 1));
        EXPECT_EQ(m.norm[3 + k], V(0, 0, 0));
    }
}

TEST(MeshNormals, NinetyDegreeCrease) {
    Mesh m = crease();
    m.initNormalsAutoSmooth(60.0);
    ASSERT_EQ(m.norm.size(), 6u);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(m.norm[k], V(0, 0, 1));
        EXPECT_EQ(m.norm[3 + k], V(0, -1, 0));
        EXPECT_EQ(m.tris[1].ni[k], 3 + k);
    }

    m.initNormalsAutoSmooth(100.0);
    const float h = float(1.0 / std::sqrt(2.0));
    // Shared vertices 0 and 1 average both faces; the unshared corners keep their own.
    expectNear(m.norm[0], V(0, -h, h));  // triangle 0, vertex 0
    expectNear(m.norm[1], V(0, -h, h));  // triangle 0, vertex 1
    EXPECT_EQ(m.norm[2], V(0, 0, 1));    // triangle 0, vertex 2
    expectNear(m.norm[3], V(0, -h, h));  // triangle 1, vertex 1
    expectNear(m.norm[4], V(0, -h, h));  // triangle 1, vertex 0
    EXPECT_EQ(m.norm[5], V(0, -1, 0));   // triangle 1, vertex 3

    // initNormals smooths across the crease whatever its angle.
    m.initNormals();
    expectNear(m.norm[0], V(0, -h, h));
}

TEST(MeshNormals, CreasePassGivesThreeEntriesPerTriangle) {
    Mesh m = mesh({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), V(1, 1, 0), V(7, 7, 7), V(8, 8, 8)});
    addTri(m, 0, 1, 2);
    addTri(m, 2, 1, 3);
    addTri(m, 1, 3, 1);  // names a vertex twice
    m.initNormals();
    EXPECT_EQ(m.norm.size(), 6u);
    m.initNormalsAutoSmooth(60.0);
    EXPECT_EQ(m.norm.size(), 9u);
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k) EXPECT_EQ(m.tris[i].ni[k], 3 * i + k);
}

// Quads go through the crease pass with their own flat normal, stored after the triangle
// corners, so that every normal index names an entry.
TEST(MeshNormals, CreasePassGivesQuadsTheirOwnEntries) {
    Mesh m = crease();
    m.vert.push_back(V(0, 0, 5));
    m.vert.push_back(V(1, 0, 5));
    m.vert.push_back(V(1, 0, 6));
    m.vert.push_back(V(0, 0, 6));
    Mesh::Face f = {{4, 5, 6, 7}, {0, 0, 0, 0}, {0, 0, 0, 0}};
    m.faces.push_back(f);
    m.initNormalsAutoSmooth(60.0);
    ASSERT_EQ(m.norm.size(), 6u + 4u);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(m.faces[0].ni[k], 6 + k);
        EXPECT_EQ(m.norm[6 + k], V(0, -1, 0));
    }
}
